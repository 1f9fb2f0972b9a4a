#include "QENRunJournalFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The names in the journals' folder: a run's journal is "run-XXXXXX.journal", made as
// ".run-XXXXXX" (mkstemp(3) picks the X's) until its first record is on disk. scripts/kill-sweep
// reads these three lines: they keep this form.
constexpr char kJournalPrefix[] = "run-";
constexpr char kJournalSuffix[] = ".journal";
constexpr char kNewJournalPattern[] = ".run-XXXXXX";

// The X's at the end of the pattern, which the made file's name keeps for its journal name.
constexpr std::size_t kUniqueSize = 6;

const char* const kKindNames[] = {"remove-file", "remove-dir", "restore", "mkdir",
                                  "symlink",     "chmod",      "chown",   "replace"};

void AppendEscaped(std::string& out, const std::string& text)
{
    // Paths seldom hold a tab, a line feed, a backslash or a NUL: then the text goes as it is.
    static const char kEscaped[] = {'\\', '\t', '\n', '\0'};
    if (text.find_first_of(kEscaped, 0, sizeof(kEscaped)) == std::string::npos) {
        out += text;
        return;
    }
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
}

std::string Escape(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    AppendEscaped(escaped, text);
    return escaped;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == '0' ? '\0' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The record of a step: its letter, then kind, path, other path, mode (octal), owner and group,
// and the device and inode where known, separated by tabs, and the line feed. Formed by hand: a
// run writes one for every file it touches.
std::string StepRecord(char letter, const QENUndoStep& step)
{
    char numbers[112];
    if (step.inode == 0)
        std::snprintf(numbers, sizeof(numbers), "\t%o\t%lu\t%lu\n", step.mode, static_cast<unsigned long>(step.owner),
                      static_cast<unsigned long>(step.group));
    else
        std::snprintf(numbers, sizeof(numbers), "\t%o\t%lu\t%lu\t%llu\t%llu\n", step.mode,
                      static_cast<unsigned long>(step.owner), static_cast<unsigned long>(step.group),
                      static_cast<unsigned long long>(step.device), static_cast<unsigned long long>(step.inode));
    std::string record;
    record.reserve(step.path.size() + step.other.size() + 48);
    record += letter;
    record += '\t';
    record += kKindNames[step.kind];
    record += '\t';
    AppendEscaped(record, step.path);
    record += '\t';
    AppendEscaped(record, step.other);
    record += numbers;
    return record;
}

// A step from the fields after the record's letter; false for anything it does not know.
bool ParseStep(const std::vector<std::string>& fields, QENUndoStep& step)
{
    if (fields.size() != 7 && fields.size() != 9)
        return false;
    for (std::size_t kind = 0; kind < sizeof(kKindNames) / sizeof(kKindNames[0]); ++kind) {
        if (fields[1] != kKindNames[kind])
            continue;
        step = QENUndoStep(static_cast<QENUndoStep::Kind>(kind), fields[2], fields[3],
                           static_cast<unsigned>(std::strtoul(fields[4].c_str(), nullptr, 8)),
                           static_cast<std::uint32_t>(std::strtoul(fields[5].c_str(), nullptr, 10)),
                           static_cast<std::uint32_t>(std::strtoul(fields[6].c_str(), nullptr, 10)));
        if (fields.size() == 9) {
            step.device = std::strtoull(fields[7].c_str(), nullptr, 10);
            step.inode = std::strtoull(fields[8].c_str(), nullptr, 10);
        }
        return !step.path.empty() && step.path[0] == '/';
    }
    return false;
}

}  // namespace

bool QENRunJournalFile::IsJournalName(const std::string& name)
{
    const std::size_t prefix = sizeof(kJournalPrefix) - 1;
    const std::size_t suffix = sizeof(kJournalSuffix) - 1;
    return name.compare(0, prefix, kJournalPrefix) == 0 && name.size() >= suffix &&
           name.compare(name.size() - suffix, suffix, kJournalSuffix) == 0;
}

bool QENRunJournalFile::IsNewJournalName(const std::string& name)
{
    const std::size_t stem = sizeof(kNewJournalPattern) - 1 - kUniqueSize;
    return name.compare(0, stem, kNewJournalPattern, stem) == 0 && name.size() == sizeof(kNewJournalPattern) - 1;
}

bool QENRunJournalFile::Create(const std::string& folder, const std::string& description)
{
    // Made under a name that recoveries look at only to clear it away, and given its journal name
    // once its first record is on disk.
    std::string made;
    if (!file_.Create(folder + "/" + kNewJournalPattern, made))
        return false;
    const std::string named = folder + "/" + kJournalPrefix + made.substr(made.size() - kUniqueSize) + kJournalSuffix;
    if (!file_.Append("H\t" + Escape(description) + "\t" + std::to_string(getpid()) + "\n") || !file_.Sync() ||
        !platform::RenameDurably(made, named)) {
        unlink(made.c_str());
        file_.Close();
        return false;
    }
    path_ = named;
    return true;
}

std::string QENRunJournalFile::Name() const
{
    return path_.substr(path_.find_last_of('/') + 1);
}

void QENRunJournalFile::Append(const std::string& record)
{
    // A record that cannot be written only weakens the protection; the run goes on.
    if (!file_.IsOpen())
        return;
    if (waiting_) {
        waiting_ = false;
        file_.Append("P\n" + record);
    } else {
        file_.Append(record);
    }
}

void QENRunJournalFile::Intent(const QENUndoStep& step)
{
    Append(StepRecord('I', step));
}

void QENRunJournalFile::Performed(const QENUndoStep& step)
{
    Append(StepRecord('P', step));
}

void QENRunJournalFile::PerformedAsIntended()
{
    if (file_.IsOpen())
        waiting_ = true;
}

void QENRunJournalFile::PerformedWithoutUndo(const std::string& commandName)
{
    Append("N\t" + Escape(commandName) + "\n");
}

void QENRunJournalFile::Abandoned()
{
    Append("X\n");
}

void QENRunJournalFile::Mount(const std::string& mountPoint)
{
    Append("M\t" + Escape(mountPoint) + "\n");
}

void QENRunJournalFile::DeleteWhenCommitted(const std::string& path)
{
    Append("F\t" + Escape(path) + "\n");
}

void QENRunJournalFile::Committed()
{
    Append("C\n");
}

void QENRunJournalFile::WriteWaiting()
{
    if (waiting_)
        Append(std::string());
}

bool QENRunJournalFile::Sync()
{
    return file_.Sync();
}

void QENRunJournalFile::Remove()
{
    if (file_.IsOpen())
        unlink(path_.c_str());
    file_.Close();
    path_.clear();
    waiting_ = false;
}

void QENRunJournalFile::Read(const std::string& text, InterruptedRun& run)
{
    bool pending = false;
    QENUndoStep intent;
    std::string::size_type start = 0;
    // A last line without its line feed was cut short by the death of its writer: it is not read.
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::vector<std::string> fields = SplitFields(text.substr(start, end - start));
        const std::string& record = fields[0];
        QENUndoStep step;
        if (record == "H" && fields.size() > 1) {
            run.description = fields[1];
        } else if (record == "I" && ParseStep(fields, step)) {
            if (pending)
                run.commands.push_back({true, intent, std::string()});
            intent = step;
            pending = true;
        } else if (record == "P" && ParseStep(fields, step)) {
            run.commands.push_back({true, step, std::string()});
            pending = false;
        } else if (record == "P" && fields.size() == 1) {
            if (pending)
                run.commands.push_back({true, intent, std::string()});
            pending = false;
        } else if (record == "N" && fields.size() == 2) {
            run.commands.push_back({false, QENUndoStep(), fields[1]});
            pending = false;
        } else if (record == "X") {
            pending = false;
        } else if (record == "M" && fields.size() == 2) {
            run.mounts.push_back(fields[1]);
        } else if (record == "F" && fields.size() == 2) {
            run.deletions.push_back(fields[1]);
        } else if (record == "C") {
            run.committed = true;
        }
    }
    // Killed while the command was at work: what it intended is what may be half done.
    if (pending)
        run.commands.push_back({true, intent, std::string()});
}
