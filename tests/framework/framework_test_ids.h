#pragma once
#define IDD_TEST_DIALOG 200
#define IDC_TEST_TOGGLE 300
#define IDC_TEST_OTHER 301
#define IDS_TEST_TEXT 400
