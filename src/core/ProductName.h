// The names the library shows of its maker and its product, written once: the code and the
// resource script (which reads only the preprocessor's part of a header) take them from here.
#pragma once

// The maker, on the menus' banner and in the version block.
#define VEL_COMPANY_NAME "Tessaroth"
// The product: tooltips, information texts, design defaults and the version block.
#define VEL_PRODUCT_NAME VEL_COMPANY_NAME " Quillmark"
