#pragma once
// Mounts for a test that needs a read-only, full or bind-mounted folder: made in a child
// process with a mount namespace of its own, so they vanish with the child and no other test
// ever sees them. Needs root (or the right to create namespaces); tests skip otherwise.

#include <sched.h>
#include <sys/mount.h>

#include <functional>

#include "support/song_fixtures.h"

/// The exit code of RunWithPrivateMounts when no mount namespace could be had.
inline constexpr int kNoPrivateMounts = 96;

/// Runs the body in a forked child whose mounts are its own (song_fixtures::RunInChild) and
/// answers its exit code, or kNoPrivateMounts.
inline int RunWithPrivateMounts(const std::function<int()>& body) {
    return song_fixtures::RunInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return kNoPrivateMounts;
        }
        return body();
    });
}
