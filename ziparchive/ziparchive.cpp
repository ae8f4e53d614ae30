#include "ziparchive.h"

// Interface in place; the reader itself follows.

int openZip(ZipHandle* handle, const char*, const char*)
{
    if (handle)
        *handle = nullptr;
    return ZR_NOFILE;
}

int getZipItem(ZipHandle, ZipEntry*)
{
    return ZR_ARGS;
}

int unzipItem(ZipHandle, const char*, ZipEntry*)
{
    return ZR_ARGS;
}

int closeZip(ZipHandle)
{
    return ZR_ARGS;
}

int unzipAllFlat(const char*, const char*)
{
    return ZR_NOFILE;
}
