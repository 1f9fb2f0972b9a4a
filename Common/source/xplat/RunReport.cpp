#include "RunReport.h"

#include "BaseLogBlock.h"
#include "BaseLogHeader.h"

#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

namespace RunReport {

namespace {

struct State {
    boost::mutex mutex;  // guards facts and pendingCause
    Facts facts;
    std::string pendingCause;  // noted since the last error; attached to the next one
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
    state.facts.cause = state.pendingCause == text ? std::string() : state.pendingCause;
    state.pendingCause.clear();
}

void NoteCause(const std::string& text)
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    state.pendingCause = text;
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
    return state.facts;
}

void Reset()
{
    State& state = TheState();
    boost::lock_guard<boost::mutex> lock(state.mutex);
    state.facts = Facts();
    state.pendingCause.clear();
}

}  // namespace RunReport
