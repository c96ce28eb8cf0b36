#include "gui/single_instance.h"

#include <QLocalSocket>
#include <QTimer>

#include "platform/instance_handshake.h"

namespace gui {

namespace {

// A caller that never finishes its question is let go.
constexpr int kQuestionTimeoutMs = 2000;

QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

bool SingleInstance::listen() {
    // We hold the instance lock, so nothing at the path belongs to a running program.
    QLocalServer::removeServer(socketPath_);
    return server_.listen(socketPath_);
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        QTimer::singleShot(kQuestionTimeoutMs, socket, [socket] { socket->abort(); });
    }
}

void SingleInstance::answer(QLocalSocket* socket) {
    const QByteArray request = bytes(platform::kRaiseRequest);
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > request.size())
            socket->abort();
        return;
    }
    if (socket->readLine(request.size() + 1) != request) {
        socket->abort();
        return;
    }
    socket->write(bytes(platform::kRaiseAnswer));
    socket->disconnectFromServer();  // after the answer has been written
    emit activationRequested();
}

}  // namespace gui
