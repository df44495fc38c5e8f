#pragma once
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

// Collects the lines written through Log while it lives.
class LogCapture {
public:
    LogCapture() { previous_ = qInstallMessageHandler(&LogCapture::handler); active() = this; }
    ~LogCapture() { qInstallMessageHandler(previous_); active() = nullptr; }
    QStringList lines() const { QMutexLocker l(&mutex_); return lines_; }
    int count(const QString& line) const { return lines().count(line); }

private:
    static LogCapture*& active() { static LogCapture* a = nullptr; return a; }
    static void handler(QtMsgType, const QMessageLogContext& ctx, const QString& msg)
    {
        if (active() && ctx.category && qstrcmp(ctx.category, "tarnwell") == 0) {
            QMutexLocker l(&active()->mutex_);
            active()->lines_ << msg;
        }
    }
    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList lines_;
};
