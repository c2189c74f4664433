#include "platform/linux/error_codes.h"

#include <netdb.h>

#include <cerrno>

#include "platform/linux/winsock.h"

namespace {

struct CodePair {
    int from;
    int to;
};

constexpr CodePair kWinsockByErrno[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {ENOMEM, WSA_NOT_ENOUGH_MEMORY},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSA_IO_PENDING},
    {EBUSY, WSA_IO_INCOMPLETE},
    {ECANCELED, WSA_OPERATION_ABORTED},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
};

constexpr CodePair kWinsockByLookupResult[] = {
    {EAI_NONAME, WSAHOST_NOT_FOUND},    {EAI_AGAIN, WSATRY_AGAIN},
    {EAI_FAIL, WSANO_RECOVERY},         {EAI_NODATA, WSANO_DATA},
    {EAI_ADDRFAMILY, WSANO_DATA},       {EAI_FAMILY, WSAEAFNOSUPPORT},
    {EAI_SERVICE, WSATYPE_NOT_FOUND},   {EAI_MEMORY, WSA_NOT_ENOUGH_MEMORY},
    {EAI_SOCKTYPE, WSAESOCKTNOSUPPORT}, {EAI_BADFLAGS, WSAEINVAL},
    {EAI_OVERFLOW, WSAEFAULT},
};

// Windows system error codes.
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNotEnoughMemory = 8;
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorGenFailure = 31;

constexpr CodePair kSystemByErrno[] = {
    {EBADF, kErrorInvalidHandle},
    {ENOMEM, kErrorNotEnoughMemory},
    {EINVAL, kErrorInvalidParameter},
};

template <std::size_t N>
int Translate(const CodePair (&table)[N], int value, int fallback) {
    for (const CodePair& pair : table) {
        if (pair.from == value) {
            return pair.to;
        }
    }
    return fallback;
}

}  // namespace

int WinsockErrorFromErrno(int error) {
    return Translate(kWinsockByErrno, error, WSASYSCALLFAILURE);
}

int WinsockErrorFromLookup(int result, int error) {
    if (result == 0) {
        return 0;
    }
    if (result == EAI_SYSTEM) {
        return WinsockErrorFromErrno(error);
    }
    return Translate(kWinsockByLookupResult, result, WSANO_RECOVERY);
}

DWORD SystemErrorFromErrno(int error) {
    return Translate(kSystemByErrno, error, kErrorGenFailure);
}
