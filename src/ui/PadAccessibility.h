#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// Screen readers see each control of a pad picture as its own button, named as the window
// calls it with its action ("LCD key 3, Open URL"), with the selected one as focus. Installed
// once as an accessibility factory for PadView.
QAccessibleInterface* padViewAccessible(const QString& className, QObject* object);
