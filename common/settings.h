// The settings record, the SMTP strings and their loading from the registry.
#pragma once
#include <windows.h>

struct ProgramSettings {
    int EmailNotifyOnBlock;             // non-zero: mail a notice after a block
    int AuthenticationFailsBeforeBlock; // failed logons from one address that block it
    int AttemptCountResetTimeout;       // milliseconds; stored in minutes; carried, not used
};

extern ProgramSettings g_settings;
extern char g_smtpServer[256];
extern char g_emailFrom[256];
extern char g_adminEmailAddress[256];

#define KESTROVE_SETTINGS_KEY L"Software\\Mirdal Software\\RDP Kestrove"
#define KESTROVE_SMTP_KEY L"Software\\Mirdal Software\\RDP Kestrove\\SMTP"

// Writes the three defaults into g_settings.
void SetDefaultSettings(void);

// Reads a value of any length into *buffer (a heap block it may move, starting
// out null); returns the data's byte count, 0 when it can't be read.
int ReadRegistryValue(HKEY key, const WCHAR* valueName, WCHAR** buffer);

// Defaults, then the registry. Returns 0 only in the service's build, when an
// SMTP value can't be read (after sending the settings error).
int LoadSettings(void);

// Decimal text to a 32-bit integer: leading blanks, a sign, the leading digits;
// 0 without digits, saturated at the 32-bit limits.
int ParseSettingNumber(const WCHAR* text);
