/* memset and memcpy for Devpoke.dll, which links no C runtime: the request code calls them, and
   the compiler may emit calls to them for zeroing or copying a structure. Compiled with
   -fno-tree-loop-distribute-patterns so that the loops are not turned back into such calls. */
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
