"""RGB pictures in memory: read from PPM, cropped, compared, written as PNG.

Screenshots come from ImageMagick as binary PPM and reference renderings are written as PPM, so
no image library is needed; PNG is only written (for the documentation screenshots).
"""

import struct
import zlib


class Picture:
    """An 8-bit RGB picture: width, height and rows of packed RGB bytes."""

    def __init__(self, width, height, rgb):
        if len(rgb) != width * height * 3:
            raise ValueError("picture data does not match its size")
        self.width = width
        self.height = height
        self.rgb = bytes(rgb)

    @classmethod
    def from_ppm(cls, data):
        """Parses a binary PPM (P6, maxval 255), as `import ... ppm:-` and QImage write it."""
        fields = []
        position = 0
        while len(fields) < 4:
            while data[position : position + 1].isspace():
                position += 1
            if data[position : position + 1] == b"#":
                position = data.index(b"\n", position) + 1
                continue
            end = position
            while not data[end : end + 1].isspace():
                end += 1
            fields.append(data[position:end])
            position = end
        position += 1  # the single whitespace byte before the samples
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ValueError("not an 8-bit binary PPM")
        width, height = int(fields[1]), int(fields[2])
        return cls(width, height, data[position : position + width * height * 3])

    @classmethod
    def read_ppm(cls, path):
        with open(path, "rb") as file:
            return cls.from_ppm(file.read())

    def pixel(self, x, y):
        offset = (y * self.width + x) * 3
        return tuple(self.rgb[offset : offset + 3])

    def crop(self, left, top, width, height):
        """The part with its top-left corner at (left, top); it must lie inside the picture."""
        if left < 0 or top < 0 or left + width > self.width or top + height > self.height:
            raise ValueError(
                f"crop {width}x{height}+{left}+{top} outside {self.width}x{self.height}"
            )
        rows = []
        for y in range(top, top + height):
            start = (y * self.width + left) * 3
            rows.append(self.rgb[start : start + width * 3])
        return Picture(width, height, b"".join(rows))

    def differing_pixels(self, other, tolerance=0):
        """How many pixels differ by more than `tolerance` in some channel."""
        if (self.width, self.height) != (other.width, other.height):
            raise ValueError("pictures of different sizes")
        if tolerance == 0:
            return sum(
                1
                for i in range(0, len(self.rgb), 3)
                if self.rgb[i : i + 3] != other.rgb[i : i + 3]
            )
        a, b = self.rgb, other.rgb
        count = 0
        for i in range(0, len(a), 3):
            if (
                abs(a[i] - b[i]) > tolerance
                or abs(a[i + 1] - b[i + 1]) > tolerance
                or abs(a[i + 2] - b[i + 2]) > tolerance
            ):
                count += 1
        return count

    def halved_and_doubled(self):
        """Every other pixel of every other row, each then drawn as a 2 x 2 block: a picture
        that was blown up to twice its size comes back unchanged."""
        rows = []
        for y in range(0, self.height - self.height % 2, 2):
            start = y * self.width * 3
            row = b"".join(
                self.rgb[start + x * 3 : start + x * 3 + 3] * 2
                for x in range(0, self.width - self.width % 2, 2)
            )
            rows += [row, row]
        return Picture(self.width - self.width % 2, self.height - self.height % 2, b"".join(rows))

    def detail_lost_by_halving(self):
        """The share of pixels that halving and doubling changes: none for a picture blown up
        from half its pixels, some for a sharp one. Changes of up to 8 levels are JPEG's noise,
        not detail."""
        lost = self.differing_pixels(self.halved_and_doubled(), 8)
        return lost / (self.width * self.height)

    def count(self, predicate):
        """How many pixels (r, g, b) satisfy predicate."""
        a = self.rgb
        return sum(1 for i in range(0, len(a), 3) if predicate(a[i], a[i + 1], a[i + 2]))

    def rows_where(self, predicate):
        """Indexes of the rows holding at least one pixel that satisfies predicate."""
        return [y for y in range(self.height) if self.crop(0, y, self.width, 1).count(predicate)]

    def bands(self, predicate, merge_gap=3):
        """(first, last) row of each horizontal band of rows holding pixels that satisfy
        predicate; bands closer than merge_gap rows count as one (a line of text and the
        underline under one of its letters)."""
        found = []
        for y in self.rows_where(predicate):
            if found and y - found[-1][1] <= merge_gap:
                found[-1] = (found[-1][0], y)
            else:
                found.append((y, y))
        return found

    def png(self):
        """The picture as PNG bytes (8-bit RGB, no filtering)."""
        stride = self.width * 3
        raw = b"".join(
            b"\x00" + self.rgb[y * stride : (y + 1) * stride] for y in range(self.height)
        )

        def chunk(kind, body):
            return (
                struct.pack(">I", len(body))
                + kind
                + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
            )

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (
            b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b"")
        )

    def save_png(self, path):
        with open(path, "wb") as file:
            file.write(self.png())
