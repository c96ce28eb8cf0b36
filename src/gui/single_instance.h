#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <string>

namespace gui {

// One running program per user and settings store: a second start finds the first
// through a local socket, asks it to come to the front and ends.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QString name, QObject* parent = nullptr);

    // The socket name for a settings store: per user, and per store, so that a
    // program run on a store of its own (a test, a screenshot) stands alone.
    static QString nameFor(const std::string& settingsPath);

    // True when another instance answered; it has been asked to come to the front.
    bool askRunningInstance();
    // Starts answering later starts; false when the name cannot be taken.
    bool listen();

  signals:
    void activationRequested();

  private:
    void answer();

    QString name_;
    QLocalServer server_;
};

}  // namespace gui
