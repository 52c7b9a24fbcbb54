// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Where a stored account's password is looked up in the desktop's secret
// store: the server's host name and port (the default of its scheme when the
// host text names none) and the user name.
struct SecretKey {
    std::string Host;
    int Port = 21;
    std::string User;
    bool operator==(const SecretKey &) const = default;
};

// The key of the account a host field text ("host", "host:port",
// "[v6addr]:port", optionally after "ftp://", "ftpes://", "ftps://" or
// "sftp://") and a user name stand for.
SecretKey SecretKeyOf(std::string_view hostText, std::string_view user);

// The passwords of stored accounts in the desktop's secret store (GNOME
// Keyring, KWallet, KeePassXC: whatever owns the Secret Service on the
// session bus), one item per account, labelled "Vexmora: user@host".
//
// The store is the one on the session bus (DBUS_SESSION_BUS_ADDRESS, else the
// user's runtime folder): tests point that at a bus of their own before the
// first call. Every call ends within the timeout: the work runs on a
// thread of its own and is cancelled when the time is up. Called on the interface thread, the windows keep
// painting meanwhile (ui::InterfaceWait).
class SecretStore {
public:
    enum class Result {
        Ok,
        NotFound,  // the store answers and holds no such item
        NoService, // no bus, or nothing owns the Secret Service on it
        Declined,  // the store is locked and the user did not unlock it
        Failed,    // the store answered with an error, or did not answer in time
    };

    explicit SecretStore(int timeoutMs = 5000);

    // label: what the store shows the user (SecretLabel).
    Result store(const SecretKey &key, const std::string &label, const std::string &password) const;
    Result lookup(const SecretKey &key, std::string &password) const;
    // NotFound when there was nothing to remove.
    Result remove(const SecretKey &key) const;
    // Whether a store answers at all (Ok or NoService/Failed). Runs no events
    // while it waits (it comes before a window opens, which nothing may
    // overtake); still bounded by the timeout.
    Result probe() const;

    int timeoutMs() const { return m_timeoutMs; }

private:
    int m_timeoutMs;
};

// The label of an account's item, "Vexmora: user@host" with the host as the
// host field has it.
std::string SecretLabel(std::string_view hostText, std::string_view user);
