/* TwCouponPay5.dll: member coupon payment for 32-bit Windows POS programs.
 * Plain C, any compiler; link TwCouponPay5.lib (Microsoft's linker) or load the DLL with
 * LoadLibraryA and GetProcAddress the names below. README.txt describes the parameters. */
#ifndef TWCOUPONPAY5_H
#define TWCOUPONPAY5_H

#ifdef __cplusplus
extern "C" {
#endif

/* Parameters 1-4: the header, goods, pay and Udp2 documents (GBK). 5: the result, "000000" or
 * "111111". 6: the failure message. 7: the amount. 8, 9: reserved. 10: not used. 11: the
 * discount document. 12: the payment document. Outputs are written in the till's code page
 * into buffers the caller provides. The return value is always 1. Call on the thread that
 * loaded the library (the user-interface thread). */

/* cdecl: the caller removes the twelve parameters (C, C++, Delphi "cdecl", C# Cdecl). */
__declspec(dllimport) int __cdecl TwCardTrans(char *header, char *goods, char *pay, char *udp2, char *result,
                                              char *message, char *amount, char *reserved1, char *reserved2,
                                              char *unused, char *discountXml, char *paymentXml);
/* The same function under a second name. */
__declspec(dllimport) int __cdecl QTwCardTrans(char *header, char *goods, char *pay, char *udp2, char *result,
                                               char *message, char *amount, char *reserved1, char *reserved2,
                                               char *unused, char *discountXml, char *paymentXml);
/* stdcall: the library removes the parameters (VB6 Declare, PowerBuilder, Delphi "stdcall",
 * C# StdCall). Exported undecorated, as "TwCardTransStd". */
__declspec(dllimport) int __stdcall TwCardTransStd(char *header, char *goods, char *pay, char *udp2, char *result,
                                                   char *message, char *amount, char *reserved1, char *reserved2,
                                                   char *unused, char *discountXml, char *paymentXml);

/* For GetProcAddress. */
typedef int(__cdecl *TwCardTransProc)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *,
                                      char *, char *);
typedef int(__stdcall *TwCardTransStdProc)(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                                           char *, char *, char *);

#ifdef __cplusplus
}
#endif

#endif
