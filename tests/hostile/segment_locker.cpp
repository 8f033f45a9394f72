// Takes the lock of the frame segment named on the command line and keeps it
// until killed: a host that dies in the middle of a take.
#include <QSharedMemory>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QSharedMemory segment(QString::fromLocal8Bit(argc == 2 ? argv[1] : ""));
    if (argc != 2 || !segment.attach() || !segment.lock())
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
