#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarrowind {

class MainDialog;

// Ends the window's session cleanly when the desktop session ends (the session manager asks the
// application to save its data, or the application is about to quit) or when the process is told to
// end (SIGTERM, SIGINT, SIGHUP): the job queue stops, running exchanges end, and the neighbour entries
// made are removed before the process exits.
class SessionEnd final : public QObject {
    Q_OBJECT

public:
    explicit SessionEnd(MainDialog& window);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

private:
    void End();

    MainDialog& m_window;
    QSocketNotifier* m_notifier = nullptr;
    bool m_ended = false;
};

}  // namespace tarrowind
