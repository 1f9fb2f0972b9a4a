#include "TQInitManager.h"

#include "platform/script/Pelvo.h"

#include <stdexcept>

namespace {

// Exactly one per process, the function-local static of InitializeTessel.
class TesselInitTerm {
public:
    TesselInitTerm()
    {
        Mivor::InitTerm::init();
        Mivor::InitTerm::setMT();
        Pelvo::InitTerm::init();
        if (!Mivor::InitTerm::isInitialized() || !Pelvo::InitTerm::isInitialized())
            throw std::runtime_error("Unable to initialize Tessel");
    }

    ~TesselInitTerm()
    {
        Pelvo::InitTerm::exit();
        Mivor::InitTerm::exit();
    }

    TesselInitTerm(const TesselInitTerm&) = delete;
    TesselInitTerm& operator=(const TesselInitTerm&) = delete;
};

}  // namespace

void InitializeTessel()
{
    // A constructor that throws leaves the static unconstructed, so the next call tries again.
    static TesselInitTerm frameworks;
    (void)frameworks;
}

TQInitManager::TQInitManager()
{
    InitializeTessel();
}

TQInitManager::~TQInitManager() = default;
