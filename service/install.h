// Installing and removing the service through the service control manager.
#pragma once

#define KESTROVE_SERVICE_NAME L"RDP Kestrove"

void InstallService(void);
void UninstallService(void);
