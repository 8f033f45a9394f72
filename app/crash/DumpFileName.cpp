#include "DumpFileName.h"

namespace crash {

namespace {

class TextBuilder
{
public:
    TextBuilder(char* buffer, size_t size)
        : buffer(buffer)
        , size(size)
    {
    }

    void add(const char* text)
    {
        for (; *text; ++text)
            put(*text);
    }

    void addNumber(int value, int width)
    {
        char digits[12];
        int count = 0;
        unsigned rest = value < 0 ? 0u : unsigned(value);
        do {
            digits[count++] = char('0' + rest % 10);
            rest /= 10;
        } while (rest > 0 && count < 12);
        for (int i = count; i < width; ++i)
            put('0');
        while (count > 0)
            put(digits[--count]);
    }

    bool finish()
    {
        if (used >= size) {
            if (size > 0)
                buffer[0] = '\0';
            return false;
        }
        buffer[used] = '\0';
        return true;
    }

private:
    void put(char c)
    {
        if (used < size)
            buffer[used] = c;
        ++used;
    }

    char* buffer;
    size_t size;
    size_t used = 0;
};

} // namespace

bool formatDumpPath(char* buffer, size_t size, const char* directory, const char* tag, const CivilTime& time)
{
    TextBuilder path(buffer, size);
    path.add(directory);
    path.add("/");
    path.add(tag);
    path.add("_");
    path.addNumber(time.year, 4);
    path.addNumber(time.month, 2);
    path.addNumber(time.day, 2);
    path.addNumber(time.hour, 2);
    path.addNumber(time.minute, 2);
    path.addNumber(time.second, 2);
    path.add(".dmp");
    return path.finish();
}

} // namespace crash
