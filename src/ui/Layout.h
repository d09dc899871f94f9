#pragma once
// Placing controls by the window's design coordinates, given in twips
// (15 twips make one pixel), and the window's own pictures and font.

#include <QCheckBox>
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>

namespace tarvex::layout {

// Twips to pixels for a control inside a frame or window.
QRect twips(int left, int top, int width, int height);
// Twips to pixels for a control on a tab page: the design counts from the
// tab control's top edge, above the 520-twip row of tab headers.
QRect page(int left, int top, int width, int height);

// Whether a font family is installed.
bool hasFamily(const QString& family);
// The window's narrow 8-point font: Tahoma where it exists, a condensed sans elsewhere.
QFont windowFont();

// One of the window's built-in pictures, kept as a binary PPM (P6, 8 bits
// a channel, uncompressed): its pixels are used as they are, with no decoder
// and no image plugin (decoding a compressed picture, and the plugin search
// before it, cost as much as the rest of the first tab). Anything else is
// handed to Qt's own readers.
QPixmap builtInPicture(const QString& resource);

// A label; an empty size means "as large as its text", worked out when the
// label's page is first shown (sizeLabels): text layout is the costly part of
// start-up, and most labels stand on pages not yet shown.
QLabel* label(QWidget* parent, const QString& text, QRect rect, const QColor& colour = QColor(), bool bold = false,
              bool wrap = false);
// Sizes the labels below root that wait to be sized.
void sizeLabels(QWidget* root);
QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, QRect rect, bool boldCaption = true,
                 const QColor& captionColour = QColor());
// Colours a label's or a box's text (a palette, not a style sheet: cheap, and no child inherits it).
void setTextColour(QWidget* widget, const QColor& colour);
QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect rect);
QLineEdit* lineEdit(QWidget* parent, const char* name, QRect rect);

// A label that acts as a link: blue, with a pointing hand; it takes the
// focus, and Enter or Space opens it as a click does.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  LinkLabel(const QString& text, QWidget* parent);
 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarvex::layout
