// Joins a frame segment, takes its lock and keeps it until killed: a host
// that dies in the middle of a take.
#include <QSharedMemory>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    QSharedMemory segment(QString::fromLocal8Bit(argv[1]));
    if (!segment.attach() || !segment.lock())
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
