#pragma once

#include <QString>
#include <QTextBrowser>

namespace gui {

// The help viewer: our help file in a window of its own, opened at a topic's anchor.
class HelpWindow : public QTextBrowser {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows file (a help file of the program, such as "Corvane.htm") at the anchor;
    // false when there is no such file.
    bool showTopic(const QString& file, const QString& anchor);
};

}  // namespace gui
