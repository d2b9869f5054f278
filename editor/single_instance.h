#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace quillon {

// One editor per user session: a second start hands its documents to the
// running editor over a local socket and ends.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // name: the socket's name; empty means the user's default.
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Gives the documents (absolute paths) to a running editor; false when
    // none answers.
    bool HandOver(const QStringList& documents);
    // Becomes the running editor; false when the socket cannot be had.
    bool Listen();

    static QString DefaultName();

  signals:
    // Documents handed over by a later start (an empty list: just show the window).
    void DocumentsReceived(const QStringList& documents);

  private:
    QString m_name;
    QLocalServer* m_server = nullptr;
};

}  // namespace quillon
