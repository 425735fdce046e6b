// cStartupHook<Hook>: the one way a lower layer calls up into a higher one. A hook is an interface
// class whose virtual functions give the answers used until the application installs its own, so
// tests and tools that install nothing get the defaults. The hook class derives from
// cStartupHook<Hook> and so has:
//
//   static Hook& current();                      // the installed hook, or the default; never null
//   static void install(std::shared_ptr<Hook>);  // shares ownership; null restores the default
//
// The default is Hook::defaultHook() when the hook class declares one (interfaces without default
// answers name a stand-in there), else one default-constructed Hook.
//
// Every hook of the tree is listed in documents/StartupHooks.h, which the application fills and
// installs in one place at start-up (installStartupHooks), before any book opens or any worker
// thread starts. install() and current() may be called from any thread; a hook that is replaced is
// released, so a thread must not keep using the reference from current() across an install (tests
// install between cases, the application once).

#pragma once

#include <atomic>
#include <concepts>
#include <memory>
#include <mutex>

template <class Hook> class cStartupHook {
public:
    static Hook& current() { return *slot().active.load(std::memory_order_acquire); }

    static void install(std::shared_ptr<Hook> hook)
    {
        Slot& s = slot();
        std::lock_guard<std::mutex> guard(s.lock);
        s.active.store(hook != nullptr ? hook.get() : &fallback(), std::memory_order_release);
        s.owner = std::move(hook);
    }

protected:
    cStartupHook() = default;
    ~cStartupHook() = default;

private:
    struct Slot {
        std::mutex lock;
        std::shared_ptr<Hook> owner;
        std::atomic<Hook*> active {&fallback()};
    };

    static Slot& slot()
    {
        static Slot instance;
        return instance;
    }

    static Hook& fallback()
    {
        if constexpr (requires {
                          {
                              Hook::defaultHook()
                              } -> std::same_as<Hook&>;
                      }) {
            return Hook::defaultHook();
        } else {
            static Hook instance;
            return instance;
        }
    }
};
