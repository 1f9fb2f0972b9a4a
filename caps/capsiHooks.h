// What the installation database asks of the process around it: whether it runs as root and
// what time it is. Tests replace both answers; unless they do, the real ones are given.
#pragma once

#include <boost/function.hpp>

// Whether the effective user is root (only root creates the database folders and owns files).
bool capsiRunningAsRoot();
// The current time in seconds since 1970, for the time stamps of collections and links.
long capsiNow();

// Test seams. asRoot: 1 root, 0 not root, -1 the real answer again.
void capsiSetRunningAsRootForTesting(int asRoot);
// An empty function gives the real clock again.
void capsiSetClockForTesting(const boost::function<long()>& clock);
