#pragma once
// The window for a user without a mouse, and for a screen reader: Enter on a
// focused button, Tab in reading order, frame captions that name their group
// and cover nothing, links that are links.

#include <QList>

class QWidget;

namespace tarvex::keyboard {

// Enter and Return press the focused push button of the window, as Space does.
void enterPressesButtons(QWidget* window);

// The controls of a page that Tab may reach, in reading order: frame by frame
// (top to bottom, then left to right), and within a frame row by row.
QList<QWidget*> readingOrder(QWidget* page);

// Makes Tab go through the widgets in this order.
void chainTabOrder(const QList<QWidget*>& widgets);

// Each frame is named for assistive technology by its caption.
void nameFrames(QWidget* page);
// A frame caption that would cover a neighbour (a label above, another
// frame's edge) moves down until it is clear (once the page's labels have their size).
void clearCaptions(QWidget* page);

// Link labels read as links to assistive technology (once per program).
void installLinkAccessibility();

}  // namespace tarvex::keyboard
