// The return codes that the send paths and the socket check give for WinSock
// errors, and the error names their traces print.
#pragma once

// Code of the send table: 10 WSANOTINITIALISED ... 190 WSAETIMEDOUT, 1000 for any other.
int SendErrorCode(int wsaError);
// The same table as seen by the socket check, where WSAENOPROTOOPT also gives 30.
int SocketCheckErrorCode(int wsaError);
// Name of an error the send loops know (the table and the errors they retry); null otherwise.
const char* SendErrorName(int wsaError);
// Name of a closesocket failure as its trace prints it; "WHATISTHIS" for the unexpected.
const char* CloseErrorName(int wsaError);
