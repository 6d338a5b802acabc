// Resource numbers of Rubrikator.dll.
#pragma once

#define IDR_MANIFEST         2
#define IDR_REGISTRY_HANDLER 102
#define IDR_REGISTRY_BAND    108
#define IDS_PRODUCT_NAME     128
#define IDB_MENU             201
