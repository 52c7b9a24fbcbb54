// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// The thread-local "last error" every platform call leaves behind, with the
// numeric codes the program's rules branch on.
namespace platform {

namespace err {
constexpr uint32_t Success = 0;
constexpr uint32_t FileNotFound = 2;
constexpr uint32_t PathNotFound = 3;
constexpr uint32_t AccessDenied = 5;
constexpr uint32_t ListingTooLarge = 8; // a listing over the entry or byte cap
constexpr uint32_t NoMoreFiles = 18;
constexpr uint32_t SharingViolation = 32;
constexpr uint32_t InvalidParameter = 87;
constexpr uint32_t DirNotEmpty = 145;
constexpr uint32_t AlreadyExists = 183;
constexpr uint32_t NotRegularFile = 1920; // a FIFO, socket or device where a file was wanted
constexpr uint32_t InternetTimeout = 12002;
constexpr uint32_t InternetExtendedError = 12003; // server refused; reply text kept
constexpr uint32_t NameNotResolved = 12007;
constexpr uint32_t IncorrectPassword = 12014;
constexpr uint32_t LoginFailure = 12015;
constexpr uint32_t OperationCancelled = 12017; // a download stopped by its cancel flag
constexpr uint32_t CannotConnect = 12029;
constexpr uint32_t ConnectionAborted = 12030;
constexpr uint32_t ConnectionReset = 12031;
constexpr uint32_t SecureCertificateRejected = 12045; // the user did not trust it
constexpr uint32_t FtpDropped = 12111;
constexpr uint32_t TransferIncomplete = 12152; // data ended early (no TLS close, bytes short)
constexpr uint32_t SecureChannelError = 12157; // TLS refused or failed; detail kept
} // namespace err

// A code that means the connection to the server is gone (timed out, refused,
// broken or dropped), not that the server refused a request.
bool isConnectionLoss(uint32_t code);

uint32_t lastError();
void setLastError(uint32_t code);

// Maps an errno value onto the codes above and stores it as the last error.
uint32_t setLastErrorFromErrno(int errnoValue);
uint32_t errorFromErrno(int errnoValue);

// The server's last reply text, kept with 12003 (like a last-response-info call).
const std::string &lastResponseText();
void setLastResponseText(std::string text);

// The system's text for a code, or an empty string when there is none. For
// 12003 it is the server's last reply text of this thread.
std::string errorText(uint32_t code);

} // namespace platform
