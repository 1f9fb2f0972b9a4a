// QENChownCommand: gives a file or folder a new owner and group, named by number or by name,
// keeping the former ids for the rollback, which gives them back only to the object they were
// read from (platform::ChangedObject).
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include "platform/files/ChangedObject.h"

#include <cstdint>
#include <string>

class QENChownCommand : public QENCommand {
public:
    // Resolves both texts now and logs what they resolved to: a text of digits only (the empty
    // text included, which is 0) is the id itself, anything else is looked up as a user or
    // group name.
    QENChownCommand(LogAppender& log, const FileSystemPath& path, std::string user, std::string group);
    ~QENChownCommand() override;

    std::string GetName() const override;
    bool UndoAfterPerform(QENUndoStep& step) const override;

protected:
    // A name that no user or group has fails here, before anything changes: the file must not
    // silently go to id 0. A symbolic link is refused, as its own ids cannot be read.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    std::string user_;
    std::string group_;
    std::uint32_t newOwner_;
    std::uint32_t newGroup_;
    std::uint32_t savedOwner_;
    std::uint32_t savedGroup_;
    // Its mode before the change, given back with them: while the object was another user's, that
    // user could change its mode.
    unsigned short savedMode_;
    // The object changed, which alone may be given savedOwner_ and savedGroup_ back.
    platform::ObjectIdentity object_;
    bool ownerResolved_;
    bool groupResolved_;
};
