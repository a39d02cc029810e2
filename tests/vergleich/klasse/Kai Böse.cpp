// Tries everything a pupil's program must not do; says what each attempt gave.
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

static void Say(const char* what, bool worked) { std::printf("%s: %s\n", what, worked ? "GELUNGEN" : "verwehrt"); }

int main() {
    std::ifstream solution("@SOLUTION@");
    Say("Lösung lesen", solution.good() && solution.peek() != EOF);
    std::ofstream report("@REPORT@/boese-war-hier.txt");
    Say("Bericht schreiben", static_cast<bool>(report << "x" << std::flush));
    std::ofstream outside("@OUTSIDE@/boese-war-hier.txt");
    Say("außerhalb schreiben", static_cast<bool>(outside << "x" << std::flush));
    std::ifstream other("@OTHER@");
    Say("andere Abgabe lesen", other.good() && other.peek() != EOF);
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(@PORT@);
    to.sin_addr.s_addr = htonl(0x7f000001);
    Say("Netz", s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0);
    std::fflush(stdout);
    for (;;)
        ::fork();
}
