#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;

namespace gui {

// The running program's side of the single-instance check: it listens at the socket in
// its private folder (only the holder of the instance lock does, see
// platform::claimInstance) and answers a later start that asks it to come to the front.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);

    // Starts answering later starts; whatever an ended program left at the path is
    // replaced. False when the path cannot be taken.
    bool listen();

  signals:
    void activationRequested();

  private:
    void acceptConnections();
    void answer(QLocalSocket* socket);

    QString socketPath_;
    QLocalServer server_;
};

}  // namespace gui
