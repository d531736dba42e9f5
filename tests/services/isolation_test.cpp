// The suite runs in a network of its own that has only loopback (scripts/isolated), so that no
// test reaches another machine, a name lookup included. A run outside it is noticed here: the
// interfaces are looked at first, and nothing is sent unless loopback is all there is.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <string>

TEST(Isolation, TheTestsRunWhereNothingButLoopbackIsReachable) {
    if (const char* isolated = std::getenv("VIEWER_ISOLATED"); isolated && std::string(isolated) == "0")
        GTEST_SKIP() << "this system allows the tests no network of their own: they are not isolated";
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    std::string others;
    for (const ifaddrs* i = list; i; i = i->ifa_next)
        if (i->ifa_addr && !(i->ifa_flags & IFF_LOOPBACK)) others += std::string(i->ifa_name) + " ";
    freeifaddrs(list);
    ASSERT_EQ(others, "") << "the tests run beside a network (run them through scripts/test)";

    // Only now, with loopback all there is: an address off this machine cannot be reached ...
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in far{};
    far.sin_family = AF_INET;
    far.sin_port = htons(80);
    ::inet_pton(AF_INET, "192.0.2.1", &far.sin_addr);  // a documentation address
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&far), sizeof far), -1);
    EXPECT_EQ(errno, ENETUNREACH);
    ::close(fd);
    // ... and a public-looking name is not found.
    addrinfo* found = nullptr;
    EXPECT_NE(::getaddrinfo("www.example.com", "80", nullptr, &found), 0);
    if (found) freeaddrinfo(found);
}
