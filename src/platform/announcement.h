#pragma once

#include <string>

class QAccessibleInterface;
class QObject;
class QWidget;

namespace platform {

// Words a screen reader speaks while the focus stays where it is. Orca, the reader most Linux
// listeners use, says a name change only for the object with the focus, and never a label's;
// what it does say is a notification that appears. So the words go into a notification held
// by `home` (the window's status bar, so that the reader says them without the word
// "notification"), made when first needed and shown again for each announcement. What is
// announced in one turn of the event loop is said once, together, lowest `order` first.
void announce(QWidget* home, const std::string& text, int order);

// The announcement `home` holds, if it ever held one.
QObject* announcementOf(QWidget* home);
// The accessible interface of an announcement; null for any other object.
QAccessibleInterface* announcementInterface(QObject* object);

}  // namespace platform
