#pragma once
// Two halves of one job on two threads.

#include <exception>
#include <thread>

namespace kompa {

// Runs work(0) here and work(1) on a second thread; rethrows what work(0) threw, else what
// work(1) threw, so failures are reported in the order the halves come in.
template <class Work> void BothAtOnce(Work&& work)
{
    std::exception_ptr failed[2];
    std::thread second([&] {
        try {
            work(1);
        } catch (...) {
            failed[1] = std::current_exception();
        }
    });
    try {
        work(0);
    } catch (...) {
        failed[0] = std::current_exception();
    }
    second.join();
    for (const std::exception_ptr& e : failed) {
        if (e)
            std::rethrow_exception(e);
    }
}

} // namespace kompa
