#include "RunReport.h"

#include "BaseLogBlock.h"
#include "BaseLogHeader.h"

#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

namespace RunReport {

namespace {

struct State {
    boost::mutex mutex;      // guards facts and firstCause
    Facts facts;             // all but the cause, which Gathered adds
    std::string firstCause;  // the cause of the run's first failed operation
};

// Never destroyed: loggers note errors from static destructors too.
State& TheState()
{
    static State* state = new State;
    return *state;
}

bool IsFrame(const std::string& text)
{
    return text.compare(0, std::string(BaseLogBlock::kMarker).size(), BaseLogBlock::kMarker) == 0 ||
           text == BaseLogHeader::kSectionMarker;
}

}  // namespace

void NoteError(const std::string& text, const std::string& logPath)
{
    if (text.empty() || IsFrame(text))
        return;
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    state.facts.reason = text;
    state.facts.reasonLogPath = logPath;
}

void NoteCause(const std::string& text)
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    // What went wrong first is what the user must hear of: the errors that follow (while taking
    // back, or the closing lines of a workflow) are its consequences.
    if (state.firstCause.empty())
        state.firstCause = text;
}

void NoteCancelled()
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    state.facts.cancelled = true;
    state.facts.reason.clear();
    state.facts.reasonLogPath.clear();
    state.firstCause.clear();
}

void NoteNoSessionLog(const std::string& why)
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    state.facts.noSessionLog = why;
}

Facts Gathered()
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    Facts facts = state.facts;
    if (state.firstCause != facts.reason)
        facts.cause = state.firstCause;
    return facts;
}

void Reset()
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    state.facts = Facts();
    state.firstCause.clear();
}

}  // namespace RunReport
