#include "ui/Layout.h"

#include <QFontDatabase>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResource>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace tarvex::layout {

namespace {
constexpr const char* kSizeLater = "tarvexSizeLater";
}

bool hasFamily(const QString& family) {
  // The installed families only: no search through substitutes, which is
  // costly and would count an alias as the font itself.
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QFont windowFont() {
  QFont font;
  if (hasFamily(QStringLiteral("Tahoma"))) {
    font.setFamily(QStringLiteral("Tahoma"));
  } else {
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setStretch(QFont::SemiCondensed);
  }
  font.setPointSizeF(8);
  return font;
}

namespace {
// The next number of a PPM header, after blanks and comments; -1 if there is none.
int ppmNumber(const QByteArray& bytes, qsizetype& at) {
  while (at < bytes.size()) {
    if (bytes[at] == '#') {
      while (at < bytes.size() && bytes[at] != '\n') ++at;
    } else if (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t') {
      ++at;
    } else {
      break;
    }
  }
  int value = -1;
  while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && value < 100000)
    value = std::max(value, 0) * 10 + (bytes[at++] - '0');
  return value;
}
}  // namespace

QPixmap builtInPicture(const QString& resource) {
  const QByteArray bytes = QResource(resource).uncompressedData();
  qsizetype at = 2;
  if (bytes.startsWith("P6")) {
    const int width = ppmNumber(bytes, at);
    const int height = ppmNumber(bytes, at);
    const int maximum = ppmNumber(bytes, at);
    ++at;  // the one blank after the header
    if (width > 0 && height > 0 && maximum == 255 && at + qsizetype(width) * height * 3 == bytes.size()) {
      const QImage image(reinterpret_cast<const uchar*>(bytes.constData() + at), width, height, qsizetype(width) * 3,
                         QImage::Format_RGB888);
      return QPixmap::fromImage(image);
    }
  }
  return QPixmap(resource);
}

QRect twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, (width + 14) / 15, (height + 14) / 15);
}

QRect page(int left, int top, int width, int height) {
  return QRect(std::max(0, left / 15 - 2), std::max(0, (top - 520) / 15 - 2), (width + 14) / 15, (height + 14) / 15);
}

QLabel* label(QWidget* parent, const QString& text, QRect rect, const QColor& colour, bool bold, bool wrap) {
  auto* l = new QLabel(text, parent);
  if (colour.isValid()) setTextColour(l, colour);
  if (bold) {
    QFont font = l->font();
    font.setBold(true);
    l->setFont(font);
  }
  l->setWordWrap(wrap);
  if (rect.width() <= 1 || rect.height() <= 1) {
    l->setProperty(kSizeLater, true);
    rect.setSize(QSize(0, 0));
  }
  l->setGeometry(rect);
  return l;
}

void sizeLabels(QWidget* root) {
  for (QLabel* l : root->findChildren<QLabel*>()) {
    if (!l->property(kSizeLater).toBool()) continue;
    l->setProperty(kSizeLater, QVariant());
    l->adjustSize();
  }
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, QRect rect, bool boldCaption,
                 const QColor& captionColour) {
  // The caption is a label of its own on the frame's top edge, as the old
  // frames drew it: its font and colour stay its own and reach no child.
  auto* box = new QGroupBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(rect);
  if (!caption.isEmpty()) {
    auto* title =
        label(parent, caption, QRect(rect.x() + 6, std::max(0, rect.y() - 7), 0, 0), captionColour, boldCaption);
    title->setObjectName(QString::fromLatin1(name) + QStringLiteral("_caption"));
    title->setAutoFillBackground(true);
    title->raise();
  }
  return box;
}

void setTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  widget->setPalette(palette);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect rect) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(rect);
  return b;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, QRect rect) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(rect);
  return e;
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) { setFocusPolicy(Qt::StrongFocus); }

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
    emit clicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  // The focused link shows the platform's focus frame around its text.
  QStylePainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.backgroundColor = palette().color(QPalette::Window);
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

}  // namespace tarvex::layout
