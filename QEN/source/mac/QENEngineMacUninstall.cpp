// QENEngineMac's uninstall scripts: where they live, how the scripts record and save them, and how
// an install plays the stored scripts of the payloads it upgrades.
#include "QENEngineMac.h"
#include "QENStoredScriptCalls.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/caps.h"

#include "platform/Folders.h"
#include "platform/files/Files.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <map>
#include <vector>

namespace {

const std::uint32_t kApplicationSupportFolderType = platform::FourCharCode('a', 's', 'u', 'p');

// "<local Application Support>/Orvex/Uninstall/<identifier><extension>".
bool UninstallFilePath(const std::string& identifier, const char* extension, FileSystemPath& path)
{
    // The identifier names a file in the uninstall folder and nothing else: a "/" would reach
    // (and a later uninstall delete) files elsewhere.
    if (identifier.empty() || identifier.find('/') != std::string::npos ||
        identifier.find('\0') != std::string::npos)
        return false;
    std::string folder;
    if (!MacUtils::StdStringFindFolder(platform::kLocalDomain, kApplicationSupportFolderType, true, folder))
        return false;
    FileSystemPath file(folder);
    file.AppendUTF8Segment("Orvex").AppendUTF8Segment("Uninstall").AppendUTF8Segment(identifier + extension);
    path = file;
    return true;
}

std::string FractionLine(std::size_t done, std::size_t total)
{
    char line[80];
    std::snprintf(line, sizeof(line), "SetFractionComplete(%zu, %zu);\n", done, total);
    return line;
}

// Entries per piece of a stored script that is played back in pieces: far below the script
// engine's limit of constants however many an entry holds, and few pieces for large scripts.
const std::size_t kEntriesPerPiece = 1000;

// Whether the line is a fraction line as SaveUninstallInstructions writes it after every entry:
// "SetFractionComplete(<done>, <total>);".
bool IsFractionLine(const std::string& text, std::size_t begin, std::size_t end)
{
    static const std::string kStart = "SetFractionComplete(";
    if (text.compare(begin, kStart.size(), kStart) != 0)
        return false;
    std::size_t at = begin + kStart.size();
    const auto digits = [&]() {
        const std::size_t first = at;
        while (at < end && text[at] >= '0' && text[at] <= '9')
            ++at;
        return at > first;
    };
    if (!digits() || text.compare(at, 2, ", ") != 0)
        return false;
    at += 2;
    return digits() && end - at == 2 && text.compare(at, 2, ");") == 0;
}

// Where the pieces of a stored script end: after the first fraction line (the first entry may be
// the prelude, which the rest need not wait for to be compiled with it), after every
// kEntriesPerPiece-th, and at the end. The engine writes a fraction line at top level after every
// whole entry (and after the prelude), so every piece is whole statements.
std::vector<std::size_t> PieceEnds(const std::string& text)
{
    std::vector<std::size_t> ends;
    std::size_t entries = 0;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            break;
        if (IsFractionLine(text, begin, end) && (++entries == 1 || entries % kEntriesPerPiece == 0))
            ends.push_back(end + 1);
        begin = end + 1;
    }
    if (ends.empty() || ends.back() != text.size())
        ends.push_back(text.size());
    return ends;
}

// Whether a script of the range may open with a directive ("use strict"), which sets the mode of
// the script it opens: the first thing in it, past blanks and comments, is a string. A character
// that is no ASCII counts as one (it may be a blank that the engine skips).
bool MayOpenWithDirective(const std::string& text, std::size_t begin, std::size_t end)
{
    const auto lineSeparator = [&](std::size_t at) {
        return text.compare(at, 2, "\xE2\x80") == 0 && at + 2 < end &&
               (text[at + 2] == '\xA8' || text[at + 2] == '\xA9');
    };
    for (std::size_t at = begin; at < end;) {
        const char c = text[at];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            ++at;
        } else if (text.compare(at, 2, "//") == 0) {
            while (at < end && text[at] != '\n' && text[at] != '\r' && !lineSeparator(at))
                ++at;
        } else if (text.compare(at, 2, "/*") == 0) {
            const std::size_t close = text.find("*/", at + 2);
            if (close == std::string::npos || close >= end)
                return false;  // no script of its own
            at = close + 2;
        } else {
            return c == '\'' || c == '"' || static_cast<unsigned char>(c) >= 0x80;
        }
    }
    return false;
}

// The line breaks of the range as the engine counts them: a line feed, a carriage return (with
// the line feed after it, one), U+2028 and U+2029.
std::int32_t LineBreaks(const std::string& text, std::size_t begin, std::size_t end)
{
    std::int32_t lines = 0;
    for (std::size_t at = begin; at < end; ++at) {
        if (text[at] == '\n' || (text[at] == '\r' && (at + 1 == end || text[at + 1] != '\n')))
            ++lines;
        else if (text.compare(at, 2, "\xE2\x80") == 0 && at + 2 < end &&
                 (text[at + 2] == '\xA8' || text[at + 2] == '\xA9'))
            ++lines;
    }
    return lines;
}

// The file is one script: what it declares is there from its start, even for the entries stored
// before the declaration (newer ones, which are written first). So the engine makes the
// declarations of every piece that it compiles, in order, before any piece runs (a piece of calls
// declares nothing). Answers why the pieces cannot run as the one script would, else nothing:
// - a piece that is no script of its own (a statement or comment that goes on past its end, or a
//   syntax error, which then stops the playback before anything has run, as in one script);
// - one that may open with a directive, which would set the mode of that piece alone (in one
//   script it sets the mode of all, and only from the start of the file);
// - a name that two pieces declare, one of them as a function: one script binds the last
//   declaration once, at its start, for every call.
// A piece binds its functions again as it starts, where one script binds them once: functions
// gets the functions of each piece, which keep the bindings that the pieces before left them.
std::string DeclarePieces(Pelvo::Engine& engine, const std::string& text, const std::vector<std::size_t>& ends,
                          std::vector<std::vector<std::string> >& functions)
{
    std::map<std::string, bool> declared;  // name -> whether a function
    std::size_t begin = 0;
    std::int32_t line = 1;
    functions.assign(ends.size(), std::vector<std::string>());
    for (std::size_t piece = 0; piece < ends.size(); ++piece) {
        const std::size_t end = ends[piece];
        std::vector<Pelvo::Engine::CallStatement> calls;
        if (!QENStoredScriptCalls::Read(text, begin, end, line, calls)) {
            const std::string from = "the piece from line " + std::to_string(line);
            std::vector<std::string> variables;
            if (!engine.declare(text.substr(begin, end - begin), line, functions[piece], variables)) {
                engine.clearError();
                return from + " is no script of its own";
            }
            if (MayOpenWithDirective(text, begin, end))
                return from + " may open with a directive";
            for (const std::string& name : functions[piece]) {
                if (!declared.insert(std::make_pair(name, true)).second)
                    return name + " is declared in two pieces";
            }
            for (const std::string& name : variables) {
                const auto entry = declared.insert(std::make_pair(name, false));
                if (!entry.second && entry.first->second)
                    return name + " is declared in two pieces";
            }
        }
        line += LineBreaks(text, begin, end);
        begin = end;
    }
    return std::string();
}

bool ReadSupportScript(const std::string& name, std::vector<std::uint8_t>& bytes)
{
    FileSystemPath path(std::string("/"));
    return QENEngineMac::GetSorvelScriptPath(name, path) && FileSystemUtils::LoadFileContents(path, bytes);
}

}  // namespace

// ---- Paths ----

bool QENEngineMac::GetUninstallInstructionsPathForIdentifier(const std::string& identifier, FileSystemPath& path)
{
    return UninstallFilePath(identifier, ".js", path);
}

bool QENEngineMac::GetUninstallDBPathForIdentifier(const std::string& identifier, FileSystemPath& path)
{
    return UninstallFilePath(identifier, ".db", path);
}

bool QENEngineMac::GetUninstallInstructionsPath(FileSystemPath& path)
{
    std::string identifier;
    return GetPayloadIdentifier(identifier) && GetUninstallInstructionsPathForIdentifier(identifier, path);
}

bool QENEngineMac::GetUninstallDBPath(FileSystemPath& path)
{
    std::string identifier;
    return GetPayloadIdentifier(identifier) && GetUninstallDBPathForIdentifier(identifier, path);
}

// ---- Recording and saving ----

bool QENEngineMac::AddToUninstallInstructions(const std::string& command, const std::string& condition)
{
    if (condition.empty()) {
        uninstallEntries_ += command;
        uninstallEntries_ += '\n';
    } else {
        uninstallEntries_ += "if (";
        uninstallEntries_ += condition;
        uninstallEntries_ += ")\t{\n\t";
        uninstallEntries_ += command;
        uninstallEntries_ += "\n}\n";
    }
    uninstallEntryEnds_.push_back(uninstallEntries_.size());
    return true;
}

bool QENEngineMac::LoadUninstallConditionalData(const FileSystemPath& mountPoint)
{
    FileSystemPath conditions(mountPoint);
    conditions.AppendUTF8Segment(kConditionsScript);
    if (!FileSystemUtils::Exists(conditions)) {
        uninstallPrelude_.clear();
        return true;
    }
    std::vector<std::uint8_t> prefix;
    std::vector<std::uint8_t> body;
    std::vector<std::uint8_t> suffix;
    if (FileSystemUtils::LoadFileContents(conditions, body) && ReadSupportScript(kConditionsPrefixScript, prefix) &&
        ReadSupportScript(kConditionsSuffixScript, suffix)) {
        uninstallPrelude_.assign(prefix.begin(), prefix.end());
        uninstallPrelude_.append(body.begin(), body.end());
        uninstallPrelude_.append(suffix.begin(), suffix.end());
        log_->AppendToLog(LogAppender::kLogInfo, "Storing Condition.js for uninstall script");
        return true;
    }
    log_->AppendToLog(LogAppender::kLogError, "Condition.js file found " + conditions.AsUTF8String() +
                                                  " but could not be added to uninstall script");
    return false;
}

bool QENEngineMac::SaveUninstallInstructions()
{
    FileSystemPath path(std::string("/"));
    if (!GetUninstallInstructionsPath(path))
        return false;
    if (!FileSystemUtilsMac::CreateDirectoryPath(path.Parent(), 0755, false))
        return false;

    // The file is replaced in one step, its new text written after the earlier one's: a failed
    // save leaves the earlier script (of this or an older run) as it was and keeps the entries
    // recorded, instead of losing either.
    // What is kept of it is read as a stored script is (it will be played).
    std::string earlier;
    const bool existed = FileSystemUtils::Exists(path);
    if (existed && !replaceStoredScript_ && !FileSystemUtils::LoadKeptFileContents(path, earlier))
        return false;
    // The prelude opens the stored script once: written again, it would run the payload's
    // conditions a second time in the middle of its removal.
    const bool withPrelude = !uninstallPrelude_.empty() && !preludeSaved_;
    const std::size_t entries = uninstallEntryEnds_.size();
    const std::size_t total = entries + (withPrelude ? 1 : 0);
    // The entries go to the file from where they are recorded, last first, each with its
    // fraction line: a large payload's script is never built a second time in memory.
    const auto produce = [&](const platform::ByteSink& write) {
        std::size_t done = 0;
        const auto entry = [&](const char* text, std::size_t length) {
            const std::string fraction = FractionLine(++done, total);
            return write(text, length) && write(fraction.data(), fraction.size());
        };
        if (!write(earlier.data(), earlier.size()))
            return false;
        if (withPrelude && !entry(uninstallPrelude_.data(), uninstallPrelude_.size()))
            return false;
        for (std::size_t at = entries; at-- > 0;) {
            const std::size_t begin = at == 0 ? 0 : uninstallEntryEnds_[at - 1];
            if (!entry(uninstallEntries_.data() + begin, uninstallEntryEnds_[at] - begin))
                return false;
        }
        return true;
    };
    if (!existed || total != 0 || replaceStoredScript_) {
        if (!KeepEarlierUninstallScript(path.AsUTF8String(), existed))
            return false;
        runJournal_.Intend(QENUndoStep(QENUndoStep::kRemoveFile, path.AsUTF8String()));
        if (!platform::WriteFileAtomically(path.AsUTF8String(), produce)) {
            runJournal_.Abandoned();
            return false;
        }
        runJournal_.PerformedAsIntended();
    }
    replaceStoredScript_ = false;
    preludeSaved_ = preludeSaved_ || withPrelude;
    std::string().swap(uninstallEntries_);
    std::vector<std::size_t>().swap(uninstallEntryEnds_);
    return true;
}

bool QENEngineMac::KeepEarlierUninstallScript(const std::string& path, bool existed)
{
    for (const std::pair<std::string, std::string>& saved : savedScripts_) {
        if (saved.first == path)
            return true;  // what was there before the run is kept already
    }
    std::string earlier;
    if (existed) {
        // A second name for the file that the save replaces, noted before it is made: a rollback,
        // or the recovery of a run that died, puts it back whatever happened in between.
        FileSystemPath backup(std::string("/"));
        if (!FileSystemUtils::TempFilenameInDirectory(FileSystemPath(path).Parent(), backup))
            return false;
        earlier = backup.AsUTF8String();
        runJournal_.Intend(QENUndoStep(QENUndoStep::kReplaceFile, path, earlier));
        if (link(path.c_str(), earlier.c_str()) != 0) {
            runJournal_.Abandoned();
            log_->AppendToLog(LogAppender::kLogError, "Unable to keep the earlier uninstall instructions at " + path);
            return false;
        }
        runJournal_.PerformedAsIntended();
    }
    savedScripts_.push_back(std::make_pair(path, earlier));
    return true;
}

void QENEngineMac::FinishSavedUninstallScripts(bool committed)
{
    for (auto saved = savedScripts_.rbegin(); saved != savedScripts_.rend(); ++saved) {
        const std::string& path = saved->first;
        const std::string& earlier = saved->second;
        if (committed) {
            if (!earlier.empty())
                unlink(earlier.c_str());
        } else if (!earlier.empty() ? rename(earlier.c_str(), path.c_str()) != 0
                                    : unlink(path.c_str()) != 0 && errno != ENOENT) {
            log_->AppendToLog(LogAppender::kLogError, "Unable to take back the uninstall instructions at " + path);
        }
    }
    savedScripts_.clear();
}

// ---- Playback ----

bool QENEngineMac::ProcessStoredUninstallScript(const FileSystemPath& path)
{
    std::string text;
    if (!ReadInstructions(path, text))
        return false;
    Pelvo::EnginePtr engine = GetJavaScriptEngine();
    if (!engine) {
        log_->AppendToLog(LogAppender::kLogError, "Unable to initialize JavaScript engine for processing commands.");
        return false;
    }
    // The pieces run in order on one engine: what one defines (its variables and functions are
    // globals) the next sees, the first that fails ends the playback, and errors name the lines of
    // the whole script, as in one script.
    const std::vector<std::size_t> ends = PieceEnds(text);
    std::vector<std::vector<std::string> > functions;
    const std::string whole = DeclarePieces(*engine, text, ends, functions);
    if (!whole.empty()) {
        log_->AppendToLog(LogAppender::kLogInfo, "The stored script is played as one script: " + whole + ".");
        return ProcessUTF8JavaScriptText(text);
    }
    std::size_t begin = 0;
    std::int32_t line = 1;
    for (std::size_t piece = 0; piece < ends.size(); ++piece) {
        const std::size_t end = ends[piece];
        std::vector<Pelvo::Engine::CallStatement> calls;
        if (QENStoredScriptCalls::Read(text, begin, end, line, calls)) {
            if (!ProcessJavaScriptCalls(calls))
                return false;
        } else {
            std::string script = text.substr(begin, end - begin);
            if (!ProcessUTF8JavaScriptText(script, line, functions[piece]))
                return false;
        }
        line += LineBreaks(text, begin, end);
        begin = end;
    }
    return true;
}

// ---- Upgrades ----

bool QENEngineMac::RemoveUpgradedPayloads(std::vector<FileSystemPath>& removalList)
{
    std::set<std::string> codes;
    std::set<std::string> sessionIDs;
    if (!GetUpgradeOrvexCodes(codes, sessionIDs))
        return true;
    bool played = false;
    for (const std::string& code : codes) {
        if (!RemoveUpgradedPayload(code, std::string(), removalList, played))
            return false;
    }
    for (const std::string& sessionID : sessionIDs) {
        if (!RemoveUpgradedPayload(sessionID, "sessionID ", removalList, played))
            return false;
    }
    return !played || ProcessUTF8JavaScriptInstructions("UninstallSuffix()\n");
}

bool QENEngineMac::RemoveUpgradedPayload(const std::string& identifier, const std::string& label,
                                         std::vector<FileSystemPath>& removalList, bool& played)
{
    FileSystemPath script(std::string("/"));
    if (GetUninstallInstructionsPathForIdentifier(identifier, script) && FileSystemUtils::Exists(script)) {
        log_->AppendToLog(LogAppender::kLogDebug, "Uninstalling " + label + identifier + " as part of upgrade installation.");
        removalList.push_back(script);
        played = true;
        if (!ProcessPayloadPrefix(identifier, "remove") || !ProcessStoredUninstallScript(script) ||
            !ProcessUTF8JavaScriptInstructions("PayloadSuffix();\n"))
            return false;
    } else {
        log_->AppendToLog(LogAppender::kLogDebug, "Uninstall script for " + label + identifier + " not found, skipping removal.");
    }
    FileSystemPath database(std::string("/"));
    if (GetUninstallDBPathForIdentifier(identifier, database) && FileSystemUtils::Exists(database))
        removalList.push_back(database);
    else
        log_->AppendToLog(LogAppender::kLogDebug, "Uninstall database for " + identifier + " not found, skipping removal.");
    return true;
}

bool QENEngineMac::GetUpgradeOrvexCodes(std::set<std::string>& codes, std::set<std::string>& sessionIDs)
{
    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> store = GetPayloadDataStorePtr();
    if (!store)
        return false;
    std::set<std::string> upgrades;
    if (!store->Upgrades().Get(std::inserter(upgrades, upgrades.end())))
        return false;
    capsiSession* session = nullptr;
    if (capsOpenSession(&session) != kCapsOK)
        return false;
    const bool found = CAPSQueryUtilities::GetAllPayloadsToBePhysicallyUpgraded(session, upgrades, codes, sessionIDs);
    capsCloseSession(session);
    return found;
}
