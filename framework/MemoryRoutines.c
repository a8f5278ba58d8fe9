/* The few C library routines that the programs built without a runtime need (Devpoke.dll and the
   tools): their code calls them, and the compiler may emit calls to memset and memcpy for
   zeroing or copying a structure. Compiled with -fno-tree-loop-distribute-patterns so that the
   loops are not turned back into calls of themselves. */
#include <stddef.h>

void* memset(void* target, int value, size_t count)
{
    unsigned char* bytes = (unsigned char*)target;
    while (count--)
        *bytes++ = (unsigned char)value;
    return target;
}

void* memcpy(void* target, const void* source, size_t count)
{
    unsigned char* to = (unsigned char*)target;
    const unsigned char* from = (const unsigned char*)source;
    while (count--)
        *to++ = *from++;
    return target;
}

size_t strlen(const char* text)
{
    const char* end = text;
    while (*end)
        ++end;
    return (size_t)(end - text);
}
