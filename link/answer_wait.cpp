// Answer waits on a schedule kept by the clock.
#include "link/answer_wait.h"

#include "app/ids.h"
#include "link/transport.h"
#include "platform/platform.h"

bool await_answer(int connection, const AnswerWait& how,
                  const std::function<bool(const std::string&)>& arrived) {
    const long long start = elapsed_ms();
    long long due = 0;
    for (int poll = 1; poll <= how.polls; ++poll) {
        due += how.growing ? static_cast<long long>(poll) * how.step_ms : how.step_ms;
        const long long left = start + due - elapsed_ms();
        if (left > 0) sleep_ms(static_cast<int>(left));
        const int event = poll_connection(connection);
        if (event == NET_EVENT_FILE && how.stop_at_file) return false;
        if (event != NET_EVENT_NONE && arrived(read_available_text(connection, how.chunk))) return true;
        if (connection_ended(connection)) return false;
    }
    return false;
}

const std::string& PieceJoiner::join(const std::string& piece) {
    if (text_.size() > keep_) text_.erase(0, text_.size() - keep_);
    text_ += piece;
    return text_;
}
