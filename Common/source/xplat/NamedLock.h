// NamedLock: a lock that several processes share under a name, taken without waiting and held
// for as long as the object lives. A process that ends while holding one gives it up. The lock of
// a system root is used only as the super-user, the running user or the owner of the root's
// temporary folder (the root's own user) made it: anyone could make a set under its key first.
#pragma once

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <sys/types.h>

#include <cstdint>
#include <string>

class NamedLock : private boost::noncopyable {
public:
    // The part that talks to the system: the key of the lock's name and the semaphore set.
    class NamedLockPlat : private boost::noncopyable {
    public:
        // Why no set of the key is used.
        enum Refusal {
            kNotRefused,    // one is used, or none could be made or found
            kNotPermitted,  // there is one that this user may not open (the super-user's, most often)
            kNotTrusted,    // there is one that a user whom this Setup does not trust made, owns or
                            // let others use; the super-user's Setup removes it and makes its own
        };

        // Opens or creates the set of the name; SetId() is -1 when that failed.
        explicit NamedLockPlat(const std::string& name);

        // Takes the lock without waiting; false when it is held (here too) or on any failure.
        bool Take();
        // Gives back a lock that Take handed out.
        void Release();

        key_t Key() const { return key_; }
        int SetId() const { return setId_; }
        Refusal GetRefusal() const { return refusal_; }
        // The user who made (or owns) the set that was refused or removed.
        uid_t Stranger() const { return stranger_; }
        // Whether a set that was not trusted was removed and this one made in its place.
        bool ReplacedStranger() const { return replaced_; }

    private:
        key_t key_ = static_cast<key_t>(-1);
        int setId_ = -1;
        Refusal refusal_ = kNotRefused;
        uid_t stranger_ = 0;
        bool replaced_ = false;
    };

    // Tries once to take the lock of the name. On success lock owns a new NamedLock holding
    // it; on failure (held by any holder, this process included, or no semaphore available)
    // the answer is false and lock is left as it was.
    static bool AcquireLock(const std::string& name, boost::shared_ptr<NamedLock>& lock);
    // The same with a platform part made for the name, which then tells why a take failed.
    static bool AcquireLock(const boost::shared_ptr<NamedLockPlat>& plat, boost::shared_ptr<NamedLock>& lock);

    // Whether the lock of the name cannot be taken at this moment. A successful probe is
    // given back at once.
    static bool IsLocked(const std::string& name);

    // The CRC-32 (ISO 3309) of the name's bytes, from which the lock's key is made; only its
    // low byte survives in the key, so names that share it share one lock.
    static std::uint32_t NameChecksum(const std::string& name);

    virtual ~NamedLock();

private:
    explicit NamedLock(const boost::shared_ptr<NamedLockPlat>& plat);

    boost::shared_ptr<NamedLockPlat> plat_;
};
