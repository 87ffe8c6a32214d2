#pragma once

#include <QRect>
#include <QString>

class QTextEdit;
class QWidget;

// What the topic commands need of the workspace they live in.
class TopicHost
{
public:
    virtual ~TopicHost() = default;

    // Owner of the notices.
    virtual QWidget* hostWidget() = 0;
    virtual int currentTab() = 0;
    // 0 plain text, 1 rich text.
    virtual int outgoingFormat() const = 0;
    virtual void streamTextOut(int controlId, QString& text, int rich) = 0;
    virtual void streamTextIn(int controlId, bool atSelection, const QString& text, int rich) = 0;
    virtual void transferToOutgoing(const QString& text, int rich) = 0;
    // The topic text box (control 1001).
    virtual QTextEdit* topicBox() = 0;
    // Where the outgoing message box sits on the screen, shown or not.
    virtual QRect outgoingBoxScreenRect() = 0;
};
