// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "labnamespace.h"

namespace kavren::labtest {

void runInNamespace(const char* name, const std::function<void()>& make) {
    // setns moves the calling thread alone, so a helper thread enters the
    // namespace and makes what is needed there.
    const std::string path = std::string("/run/netns/") + name;
    std::string failure;
    std::thread maker([&] {
        const int ns = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
            failure = "cannot enter " + path;
            if (ns >= 0)
                ::close(ns);
            return;
        }
        ::close(ns);
        try {
            make();
        } catch (const std::exception& e) {
            failure = e.what();
        }
    });
    maker.join();
    if (!failure.empty())
        throw std::runtime_error(failure);
}

}  // namespace kavren::labtest
