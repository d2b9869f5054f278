#include "editor/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <memory>

namespace quillon {

namespace {

constexpr int kTimeoutMs = 2000;
// Enough for any list of paths a shell can pass; more is dropped.
constexpr qint64 kMaxMessage = 1 << 20;

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? DefaultName() : std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName() {
    // Per user and per settings folder, so that separate sessions (and
    // tests with their own folders) never meet. The folder comes from the
    // environment: the test mode of QStandardPaths gives every process the same.
    QByteArray config = qgetenv("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath().toUtf8();
    QByteArray key = qgetenv("USER") + '|' + config;
    return QStringLiteral("quillon-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::HandOver(const QStringList& documents) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kTimeoutMs)) return false;
    socket.write(documents.join(QLatin1Char('\n')).toUtf8());
    socket.write("\n\n");
    socket.flush();
    bool ok = socket.waitForBytesWritten(kTimeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kTimeoutMs);
    return ok;
}

bool SingleInstance::Listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left by an editor that crashed: nobody answered HandOver.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            auto finish = [this, socket, buffer] {
                if (!socket->property("done").toBool()) {
                    socket->setProperty("done", true);
                    QStringList documents;
                    for (const QString& line :
                         QString::fromUtf8(*buffer).split(QLatin1Char('\n'))) {
                        if (!line.isEmpty()) documents << line;
                    }
                    emit DocumentsReceived(documents);
                }
                socket->deleteLater();
            };
            connect(socket, &QLocalSocket::readyRead, this, [socket, buffer, finish] {
                if (!socket->isOpen()) return;
                buffer->append(socket->readAll());
                if (buffer->size() > kMaxMessage) {
                    socket->abort();
                    return;
                }
                if (buffer->endsWith("\n\n")) finish();
            });
            connect(socket, &QLocalSocket::disconnected, this, [socket, buffer, finish] {
                if (socket->isOpen()) buffer->append(socket->readAll());
                if (buffer->size() <= kMaxMessage && buffer->endsWith("\n\n"))
                    finish();
                else
                    socket->deleteLater();
            });
        }
    });
    return true;
}

}  // namespace quillon
