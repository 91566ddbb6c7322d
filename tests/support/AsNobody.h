#pragma once
// Permission cases as an ordinary user, also when the tests run as root,
// whom permission bits never refuse: the body runs in a forked child that
// has given root up for nobody and nogroup (an ordinary user keeps its own
// ids). The child reports its expectations itself; the caller's test fails
// when any of them failed.
//
//   ASSERT_TRUE(RunAsNobody([&] { EXPECT_FALSE(CanRead(path)); }));
//
// The child has settings and runtime folders of its own. Whatever else it
// is to reach must be open to others (modes like 0755 and 0644), since the
// parent's files stay the parent's. A Qt window made before the fork must not
// be painted in the child: the painting threads stay behind in the parent.

#include <functional>
#include <sys/types.h>

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

// False, with a failure reported, when the child could not drop its
// privileges or any expectation in body failed.
bool RunAsNobody(const std::function<void()>& body);

// fork() for a child that paints windows: the pooled worker threads with
// which Qt scales and converts images are ended first, else the child
// would wait for ever on threads that stayed behind in the parent.
pid_t ForkForWindows();
