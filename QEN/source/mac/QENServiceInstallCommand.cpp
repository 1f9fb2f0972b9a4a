#include "QENServiceInstallCommand.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "QENFileSnapshot.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <boost/format.hpp>

using platform::PropertyValue;

QENServiceInstallCommand::QENServiceInstallCommand(LogAppender& log, const std::string& executable,
                                                   const FileSystemPath& plistPath, const std::string& label,
                                                   const std::string& description,
                                                   const std::vector<std::string>& arguments,
                                                   const std::string& startType, const std::string& spare,
                                                   const std::string& runAsRoot)
    : QENCommand(log),
      executable_(executable),
      plistPath_(plistPath),
      label_(label),
      description_(description),
      arguments_(arguments),
      startType_(startType),
      spare_(spare),
      runAsRoot_(runAsRoot)
{
}

std::string QENServiceInstallCommand::GetName() const
{
    return "QENServiceInstallCommand";
}

bool QENServiceInstallCommand::DoPerform()
{
    const std::string path = plistPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Installing service plist at \"%1%\"") % path).str());

    const bool asRoot = runAsRoot_ == "1";
    platform::PropertyValuePtr daemon = PropertyValue::MakeDictionary();
    daemon->Set("Label", PropertyValue::MakeString(label_));
    daemon->Set("ServiceDescription", PropertyValue::MakeString(description_));
    daemon->Set("OnDemand", PropertyValue::MakeBoolean(true));
    daemon->Set("RunAtLoad", PropertyValue::MakeBoolean(startType_ == "auto"));
    daemon->Set("UserName", PropertyValue::MakeString(asRoot ? "root" : "nobody"));
    daemon->Set("GroupName", PropertyValue::MakeString(asRoot ? "wheel" : "nobody"));
    platform::PropertyValuePtr programArguments = PropertyValue::MakeArray();
    programArguments->ArrayItems().push_back(PropertyValue::MakeString(executable_));
    for (const std::string& argument : arguments_)
        programArguments->ArrayItems().push_back(PropertyValue::MakeString(argument));
    daemon->Set("ProgramArguments", programArguments);

    std::string bytes;
    bool written = false;
    if (platform::SerializePropertyListXML(*daemon, bytes) && !bytes.empty()) {
        QENFileSnapshot::Snapshot previous;
        if (QENFileSnapshot::Take(plistPath_, previous)) {
            written = platform::WriteFileAtomically(path, bytes, platform::LinkHandling::kWriteThrough);
            if (written)
                replaced_ = previous;
        }
    }
    if (!written) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to install service plist at \"%1%\"") % path).str());
        return false;
    }
    return true;
}

bool QENServiceInstallCommand::DoRollback()
{
    const std::string path = plistPath_.AsUTF8String();
    if (replaced_.Kept()) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Restoring replaced service plist at \"%1%\"") % path).str());
        if (QENFileSnapshot::Restore(plistPath_, replaced_)) {
            log_.AppendToLog(LogAppender::kLogDebug, "Restored");
            return true;
        }
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to restore replaced service plist at \"%1%\"") % path).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Deleting service plist at \"%1%\"") % path).str());
    if (FileSystemUtils::DeleteFile(plistPath_, false)) {
        log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
        return true;
    }
    log_.AppendToLog(LogAppender::kLogError, (boost::format("Unable to delete service plist at \"%1%\"") % path).str());
    return false;
}

bool QENServiceInstallCommand::DoCommit()
{
    return true;
}
