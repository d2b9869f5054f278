#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace quillon {

// A label that opens its address when clicked: blue and underlined, purple
// once a click has opened it, the hand cursor over it and the address as
// its tooltip.
class HyperLink : public QLabel {
    Q_OBJECT
  public:
    explicit HyperLink(const QString& text = QString(), QWidget* parent = nullptr);

    // The address; the text when no address was given. Re-sizes the control
    // to its text and updates the tooltip.
    void SetUrl(const QString& url);
    QString Url() const { return m_url; }
    // The text shown; the address when it is empty.
    void SetLinkText(const QString& text);

    void SetColors(const QColor& link, const QColor& visited, const QColor& hover);
    void SetVisited(bool visited);
    bool Visited() const { return m_visited; }
    bool Over() const { return m_over; }
    void SetUnderline(bool underline);
    void SetAdjustToFit(bool adjust);
    // The colour the text has now.
    QColor CurrentColor() const;

    // The message shown when the address cannot be opened.
    static QString ErrorText();

  public slots:
    // Opens the address; on success the link is visited, on failure the
    // user hears a beep and reads why. False on failure.
    bool Open();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void UpdateLook();
    void AdjustSize();

    QString m_url;
    QColor m_linkColor{0, 0, 255};
    QColor m_visitedColor{85, 26, 139};
    QColor m_hoverColor{0, 0, 255};
    bool m_over = false;
    bool m_visited = false;
    bool m_underline = true;
    bool m_adjustToFit = true;
};

}  // namespace quillon
