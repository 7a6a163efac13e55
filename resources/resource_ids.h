#ifndef TORVO_RESOURCES_RESOURCE_IDS_H
#define TORVO_RESOURCES_RESOURCE_IDS_H
/* Numbers of the resources that TorvoShellMenu.dll carries; read by TorvoShellMenu.rc and by C++. */

/* Registry scripts, type "REGISTRY". */
#define IDR_TORVO_APPID 101   /* the AppID script, English (United States) */
#define IDR_TORVO_HANDLER 102 /* the handler class script, Chinese (Simplified) */

/* The type library, type "TYPELIB": LoadTypeLib on the DLL's path looks for number 1. */
#define IDR_TYPELIB 1

/* The menu item's image, 16 x 16 pixels, 24 bits per pixel. */
#define IDB_MENU_BITMAP 201

/* The Explorer command's icon: the padlock at 16, 20, 24, 32 and 48 pixels, 32 bits with alpha.
   GetIcon names it as "<DLL path>,-202". */
#define IDI_PADLOCK 202

/* String table, Chinese (Simplified) only; shellmenu/text_source.h gives the portable code these
   numbers under the names it uses. */
#define IDS_TORVO_PRODUCT_NAME 100   /* "ZebTorvo"; read by nothing */
#define IDS_TORVO_MENU_TEXT 101      /* the menu item's text */
#define IDS_TORVO_HELP_TEXT 102      /* the help text the shell asks for */
#define IDS_TORVO_PROGRESS_TITLE 103 /* title of the progress window of the move */

/* The version record and the manifest. */
#define IDR_VERSION 1
#define IDR_MANIFEST 2

/* 128 bytes of 0xCC; read by nothing. */
#define IDR_RAW_DATA 301

#endif
