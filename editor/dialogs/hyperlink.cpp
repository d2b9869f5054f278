#include "editor/dialogs/hyperlink.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

#include "editor/help.h"
#include "engine/error_reporter.h"

namespace quillon {

HyperLink::HyperLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    SetUrl(text);
}

void HyperLink::SetUrl(const QString& url) {
    m_url = url.isEmpty() ? text() : url;
    if (text().isEmpty()) setText(m_url);
    setToolTip(m_url);
    setWhatsThis(tr("Opens %1 in your web browser.").arg(m_url));
    UpdateLook();
}

void HyperLink::SetLinkText(const QString& text) {
    setText(text.isEmpty() ? m_url : text);
    UpdateLook();
}

void HyperLink::SetColors(const QColor& link, const QColor& visited, const QColor& hover) {
    m_linkColor = link;
    m_visitedColor = visited;
    m_hoverColor = hover;
    UpdateLook();
}

void HyperLink::SetVisited(bool visited) {
    m_visited = visited;
    UpdateLook();
}

void HyperLink::SetUnderline(bool underline) {
    m_underline = underline;
    UpdateLook();
}

void HyperLink::SetAdjustToFit(bool adjust) {
    m_adjustToFit = adjust;
    UpdateLook();
}

QColor HyperLink::CurrentColor() const {
    if (m_over) return m_hoverColor;
    return m_visited ? m_visitedColor : m_linkColor;
}

QString HyperLink::ErrorText() {
    return QStringLiteral(
        "Error occurred while opening hyperlink:\n\nUnable to find an application to open the "
        "hyperlink.");
}

bool HyperLink::Open() {
    if (!OpenUrl(QUrl::fromUserInput(m_url))) {
        QApplication::beep();
        ReportError(ErrorText().toStdString());
        return false;
    }
    SetVisited(true);
    return true;
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Open();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void HyperLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void HyperLink::enterEvent(QEnterEvent* event) {
    m_over = true;
    UpdateLook();
    QLabel::enterEvent(event);
}

void HyperLink::leaveEvent(QEvent* event) {
    m_over = false;
    UpdateLook();
    QLabel::leaveEvent(event);
}

void HyperLink::UpdateLook() {
    QFont f = font();
    f.setUnderline(m_underline);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, CurrentColor());
    setPalette(p);
    AdjustSize();
    update();
}

void HyperLink::AdjustSize() {
    if (!m_adjustToFit) return;
    // Keep the edge or centre the alignment anchors the text to.
    const QRect old = geometry();
    const QSize size = sizeHint();
    QRect r(old.topLeft(), size);
    const Qt::Alignment a = alignment();
    if (a & Qt::AlignRight) r.moveRight(old.right());
    if (a & Qt::AlignHCenter) r.moveLeft(old.center().x() - size.width() / 2);
    if (a & Qt::AlignVCenter) r.moveTop(old.center().y() - size.height() / 2);
    if (parentWidget() && parentWidget()->layout()) {
        // Inside a layout the layout places it; only the size is ours.
        setFixedSize(size);
        return;
    }
    setGeometry(r);
}

}  // namespace quillon
