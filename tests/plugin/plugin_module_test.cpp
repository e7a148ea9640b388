// The plug-in module linked in: what each object answers, how the factories
// choose and fail, and that every object made is freed again (the live count
// is this program's own, so the library is linked, not loaded).
#include "plugin/plugin_module.h"

#include "framework/com/com_object.h"
#include "plugin/backup_restore.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "win32/com_ptr.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

void* const kUntouched = reinterpret_cast<void*>(0x1);

struct ObjectCase {
    const char* name;
    const CLSID* clsid;
    std::vector<const IID*> interfaces;  // besides IUnknown
};

const ObjectCase kObjects[] = {
    {"CPlugin", &IID_IFWTWPages, {&IID_IFWTWPages}},
    {"CTWTrayMenu", &IID_IFWTWTrayMenuItems, {&IID_IFWTWTrayMenuItems}},
    {"CTWNotifications", &IID_IFWTWTraySubscribe, {&IID_IFWTWTraySubscribe}},
    {"CTWTrayNotifyCallback", &IID_IFWTWTrayNotifyCallback, {&IID_IFWTWTrayNotifyCallback}},
    {"CTWBackupRestore", &CLSID_TWBackupRestore, {&IID_IFWTWElementUI, &IID_IFWTWBackupRestore}},
};

void PrintTo(const ObjectCase& object, std::ostream* out)
{
    *out << object.name;
}

class PluginObjectTest : public ::testing::TestWithParam<ObjectCase> {
protected:
    void TearDown() override { EXPECT_EQ(0, fw::LiveComObjects()); }
};

// Made through its class object for IUnknown, each object answers its own
// interfaces, always with the same IUnknown, and no other object's.
TEST_P(PluginObjectTest, AnswersItsOwnInterfacesOnly)
{
    const ObjectCase& object = GetParam();
    win32::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, PluginGetClassObject(*object.clsid, IID_IClassFactory, factory.put_void()));
    win32::ComPtr<IUnknown> made;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, made.put_void()));
    EXPECT_EQ(2, fw::LiveComObjects());

    std::vector<const IID*> every = {&IID_IDispatch, &IID_IClassFactory};
    for (const ObjectCase& other : kObjects)
        every.insert(every.end(), other.interfaces.begin(), other.interfaces.end());
    for (const IID* iid : every) {
        const bool own = std::find(object.interfaces.begin(), object.interfaces.end(), iid) !=
                         object.interfaces.end();
        void* answer = kUntouched;
        ASSERT_EQ(own ? S_OK : E_NOINTERFACE, made->QueryInterface(*iid, &answer));
        if (!own) {
            EXPECT_EQ(nullptr, answer);
            continue;
        }
        win32::ComPtr<IUnknown> held(static_cast<IUnknown*>(answer));
        win32::ComPtr<IUnknown> identity;
        ASSERT_EQ(S_OK, held->QueryInterface(IID_IUnknown, identity.put_void()));
        EXPECT_EQ(made.get(), identity.get());
    }

    // A request the object cannot answer makes it, fails and frees it; so
    // does a class object asked for what it does not answer.
    void* failed = kUntouched;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IDispatch, &failed));
    EXPECT_EQ(nullptr, failed);
    failed = kUntouched;
    EXPECT_EQ(E_NOINTERFACE, PluginGetClassObject(*object.clsid, IID_IDispatch, &failed));
    EXPECT_EQ(nullptr, failed);
    failed = kUntouched;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(made.get(), IID_IUnknown, &failed));
    EXPECT_EQ(nullptr, failed);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
    EXPECT_EQ(E_POINTER, PluginGetClassObject(*object.clsid, IID_IClassFactory, nullptr));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(2, fw::LiveComObjects());
}

INSTANTIATE_TEST_SUITE_P(FourPlainObjectsAndTheBackupElement, PluginObjectTest,
                         ::testing::ValuesIn(kObjects),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
