// Sends one message to an SMTP server (libcurl). A send blocks until the
// server has taken the message or the attempt failed; it touches no shared
// state, so a window can run it on a worker thread and stay responsive.
#pragma once

#include "MailMessage.h"

#include <QString>

#include <atomic>

struct TSmtpSettings {
    // "host" or "host:port"; the port is 25 unless given. Port 465 speaks
    // TLS from the first byte (smtps), every other port plain SMTP that
    // switches to TLS when the server offers STARTTLS.
    QString Host;
    bool Auth = false; // AUTH LOGIN with User and Password
    QString User;
    QString Password;
    // The name the program greets the server with (EHLO).
    QString HeloName = QStringLiteral("Quorvent");
    // When set, the certificates trusted for TLS instead of the system's (a
    // mail server with a certificate of its own authority, or a self-signed one).
    QString CaFile;
    // "host:port" that really answers for Host, which still names the server
    // and its certificate (a tunnel or port forwarding); empty for Host itself.
    QString ConnectTo;
    int ConnectTimeoutSeconds = 20;
    // The whole exchange, connection included.
    int TotalTimeoutSeconds = 120;
};

struct TSmtpResult {
    bool Ok = false;
    // German words for the user, with the server's last answer when there was one.
    QString Error;
};

// Splits "host" or "host:port" ("[::1]:587" for an IPv6 address). False when
// the text is no usable server name (empty, a blank, a slash or a bad port).
bool ParseSmtpHost(const QString& text, QString* host, int* port);

// True for an address of this machine or of a private network (10/8,
// 172.16/12, 192.168/16, link-local, IPv6 unique local and link-local): the
// office relays that may take a password without TLS.
bool IsLocalNetworkAddress(const QString& address);

// Connects (TLS at once on port 465), says EHLO, switches to TLS when the
// server offers STARTTLS, logs in when Auth is set, sends the message to
// every To and Bcc address and says QUIT. The password never goes out
// unencrypted to a server outside the local network: without TLS the send
// is refused before logging in. Every recipient must be a plain address
// (IsMailAddress). The connection is closed in every case. Setting *cancel
// to true from another thread ends a running send as soon as possible.
TSmtpResult SendSmtpMail(const TSmtpSettings& settings, const TMailMessage& message,
                         const std::atomic_bool* cancel = nullptr);
