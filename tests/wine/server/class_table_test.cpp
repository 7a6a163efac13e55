// The class table with a factory creator of the test's own: when a new class object becomes
// visible to the threads that read the table without its lock.
#include "server/class_table.h"

#include <gtest/gtest.h>

#include "TorvoShellMenu.h"
#include "tests/wine/support/counted_unknown.h"

namespace torvo {
namespace {

using server::ClassEntry;
using server::ClassTable;

wine::CountedUnknown g_object;
ClassTable* g_table = nullptr;
IUnknown* g_slotWhileCreating = nullptr;

// Hands the object out as a creator's QueryInterface does, the out pointer written before the
// reference is taken, and notes what the table's slot shows in between.
HRESULT WatchingCreator(server::ObjectCreator, REFIID, void** out) {
  *out = static_cast<IUnknown*>(&g_object);
  g_slotWhileCreating = g_table->Entries()[0].pCachedFactory.Get();
  g_object.AddRef();
  return S_OK;
}

TEST(ClassTable, PublishesTheClassObjectOnlyOnceItsCreatorHasReturnedIt) {
  {
    ClassEntry entries[] = {{&CLSID_TorvoShellContextMenu, nullptr, &WatchingCreator, nullptr, {}}};
    ClassTable table(entries);
    g_table = &table;
    IUnknown* object = nullptr;
    ASSERT_EQ(table.GetClassObject(CLSID_TorvoShellContextMenu, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    EXPECT_EQ(object, &g_object);
    EXPECT_EQ(g_slotWhileCreating, nullptr);
    EXPECT_EQ(table.Entries()[0].pCachedFactory.Get(), &g_object);
    EXPECT_EQ(g_object.count, 2u);  // the table's reference and ours
    object->Release();
  }
  EXPECT_EQ(g_object.count, 0u);  // the table let go of its own
}

}  // namespace
}  // namespace torvo
