// Resource and control identifiers of the configurator.
#pragma once

// Frame: title and class strings, About box, menu, accelerators, icon.
#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDC_CONFIGURATOR 109
#define IDI_CONFIGURATOR 136

// Settings pages and the SMTP test dialog.
#define IDD_SMTP_SETTINGS 170
#define IDD_SMTP_TEST 1501
#define IDD_GENERAL 1503

// Controls of the General page.
#define IDC_FAILS_BEFORE_BLOCK 1064
#define IDC_EMAIL_NOTIFY 1066
#define IDC_RESET_TIMEOUT 1067

// Controls of the SMTP Settings page; the Test button carries IDCANCEL's value.
#define IDC_SMTP_SERVER 1058
#define IDC_EMAIL_FROM 1059
#define IDC_ADMIN_EMAIL 1062
#define IDC_SMTP_TEST 2

// Controls of the SMTP test dialog.
#define IDC_TEST_RECIPIENT 1000
#define IDC_TEST_LOG 1019
