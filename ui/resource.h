// Identifiers shared by the resource script and the code.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_UPDATE_DIALOG 102

// Strings.
#define IDS_ABOUTBOX 101   // "About..." in the system menu
#define IDS_APP_TITLE 102  // the update dialog's title; a second copy finds the first by it

// The application icon.
#define IDR_MAINFRAME 128

// Controls of the update dialog.
#define IDC_OUTPUT_PORT_LABEL 1001
#define IDC_STATUS_LABEL 1002
#define IDC_PROGRESS 1003
#define IDC_STATUS 1004
#define IDC_START 1005
#define IDC_FILE_NAME_LABEL 1006
#define IDC_PORT_NAME 1008
#define IDC_FILE_NAME 1009
#define IDC_BROWSE 1010
#define IDC_ABOUT 1017

// Controls of the About box.
#define IDC_ABOUT_VERSION 1001

// Controls that nothing refers to.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The system menu's "About..." command.
#define IDM_ABOUTBOX 0x0010

// The program's version, the one place it is written: the version resource,
// the About box and the release package's name take it from here. A resource
// script cannot join strings, so it is spelt three ways; CMake reads these
// lines (cmake/version.cmake) and stops unless all three agree.
#define T6_VERSION_NUMBERS 1, 0, 1, 0
#define T6_VERSION_TEXT "1.0.1.0"
#define T6_ABOUT_VERSION_TEXT "t6/t10 Update Program Version 1.0.1"
