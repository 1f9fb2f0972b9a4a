#include "NamedLock.h"

#include <boost/crc.hpp>

std::uint32_t NamedLock::NameChecksum(const std::string& name)
{
    boost::crc_32_type crc;
    crc.process_bytes(name.data(), name.size());
    return crc.checksum();
}

bool NamedLock::AcquireLock(const std::string& name, boost::shared_ptr<NamedLock>& lock)
{
    return AcquireLock(boost::shared_ptr<NamedLockPlat>(new NamedLockPlat(name)), lock);
}

bool NamedLock::AcquireLock(const boost::shared_ptr<NamedLockPlat>& plat, boost::shared_ptr<NamedLock>& lock)
{
    if (!plat || plat->SetId() < 0 || !plat->Take())
        return false;
    lock.reset(new NamedLock(plat));
    return true;
}

bool NamedLock::IsLocked(const std::string& name)
{
    boost::shared_ptr<NamedLock> probe;
    return !AcquireLock(name, probe);
}

NamedLock::NamedLock(const boost::shared_ptr<NamedLockPlat>& plat)
    : plat_(plat)
{
}

NamedLock::~NamedLock()
{
    plat_->Release();
}
