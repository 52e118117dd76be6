#pragma once

// The program's windows. Each exists once for the whole run; the program block creates them in
// this order and the first becomes the main window.
class TWAMainForm;
class TFormConnect;
class TOpenDbForm;
class TFormCLient;
class TFormProcess;
class TFormRegClients;
class TMFNListForm;
class TAutoaskForm;
class TMFNForm;
class TLockedListForm;
class TLoadInvForm;
class TNewDBForm;
class TFormProtocol;
class TOpenDbMenu;
class TFormClientsEdit;
class TWaitForm;
class TLabelForm;

inline TWAMainForm *WAMainForm = nullptr;
inline TFormConnect *FormConnect = nullptr;
inline TOpenDbForm *OpenDbForm = nullptr;
inline TFormCLient *FormCLient = nullptr;
inline TFormProcess *FormProcess = nullptr;
inline TFormRegClients *FormRegClients = nullptr;
inline TMFNListForm *MFNListForm = nullptr;
inline TAutoaskForm *AutoaskForm = nullptr;
inline TMFNForm *MFNForm = nullptr;
inline TLockedListForm *LockedListForm = nullptr;
inline TLoadInvForm *LoadInvForm = nullptr;
inline TNewDBForm *NewDBForm = nullptr;
inline TFormProtocol *FormProtocol = nullptr;
inline TOpenDbMenu *OpenDbMenu = nullptr;
inline TFormClientsEdit *FormClientsEdit = nullptr;
inline TWaitForm *WaitForm = nullptr;
inline TLabelForm *LabelForm = nullptr;
