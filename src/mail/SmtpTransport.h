// Sends one message to an SMTP server (libcurl). A send blocks until the
// server has taken the message or the attempt failed; it touches no shared
// state, so a window can run it on a worker thread and stay responsive.
#pragma once

#include "MailMessage.h"

#include <QString>

#include <atomic>

struct TSmtpSettings {
    // "host" or "host:port"; the port is 25 unless given.
    QString Host;
    bool Auth = false; // AUTH LOGIN with User and Password
    QString User;
    QString Password;
    // The name the program greets the server with (EHLO).
    QString HeloName = QStringLiteral("Quorvent");
    // When set, the certificates trusted for STARTTLS instead of the
    // system's (a mail server with a certificate of its own authority).
    QString CaFile;
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

// Connects, says EHLO, switches to TLS when the server offers STARTTLS,
// logs in when Auth is set, sends the message to every To and Bcc address
// and says QUIT. The connection is closed in every case. Setting *cancel to
// true from another thread ends a running send as soon as possible.
TSmtpResult SendSmtpMail(const TSmtpSettings& settings, const TMailMessage& message,
                         const std::atomic_bool* cancel = nullptr);
