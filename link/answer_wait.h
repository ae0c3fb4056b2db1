// The synchronous answer waits: a routine that sent a command (or opened the
// connection) reads the answer itself, polling between plain sleeps during
// which no window event is handled.
//
// The schedule is kept by the clock, not by counting sleeps: on Windows every
// sleep lasts at least one timer tick (15.6 ms by default), so 201 sleeps of
// 5 ms would take three seconds instead of one. A poll that falls behind its
// time runs at once, and the wait ends when the last poll is done.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

struct AnswerWait {
    int polls;          // at most this many polls
    int step_ms;        // the k-th poll comes step_ms (or k x step_ms) after the one before
    bool growing;       // k x step_ms
    int chunk;          // read size of read_available_text
    bool stop_at_file;  // a file transfer ends the wait unread, left for the main loop
};

// Polls the connection on the schedule; after each poll that finds bytes,
// what could be read goes to `arrived`, which returns true to end the wait.
// The wait also ends early when the connection has ended, since no answer
// can come any more. True when `arrived` ended it.
bool await_answer(int connection, const AnswerWait& how,
                  const std::function<bool(const std::string&)>& arrived);

// Joins each piece of a stream to the end of the pieces before it, keeping
// just enough of that end that a text of up to `longest` bytes cut between
// two pieces is still found: a search over the joined text stays linear in
// what arrives, whatever the piece sizes.
class PieceJoiner {
   public:
    explicit PieceJoiner(std::size_t longest) : keep_(longest > 0 ? longest - 1 : 0) {}
    const std::string& join(const std::string& piece);

   private:
    std::size_t keep_;
    std::string text_;
};
