// TRegistry against Wine's real registry, each test in its own scratch key
// under HKEY_CURRENT_USER (the object's root key after construction).
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Seam.h"
#include "registry/Registry.h"
#include "support/TestSupport.h"

namespace {

using testing_support::ScratchKey;
using Bytes = std::vector<BYTE>;

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

void MakeKey(const std::string& path) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void SetRaw(const std::string& path, const char* name, DWORD type, const Bytes& data) {
  ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, path.c_str(), name, type, data.data(),
                              static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

struct RawValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  Bytes data;
};

RawValue ReadRaw(const std::string& path, const char* name) {
  RawValue v;
  DWORD size = 0;
  v.status = ::RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                            &v.type, nullptr, &size);
  if (v.status != ERROR_SUCCESS) return v;
  v.data.resize(size);
  v.status = ::RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                            &v.type, v.data.data(), &size);
  v.data.resize(size);
  return v;
}

// What the object asked of the registry, recorded by the seam entries below.
struct Recorded {
  std::vector<REGSAM> opens;
  std::vector<REGSAM> creates;
  std::vector<std::string> deletions;
};
Recorded g_recorded;

LONG WINAPI DenyOpen(HKEY, LPCSTR, DWORD, REGSAM access, PHKEY) {
  g_recorded.opens.push_back(access);
  return ERROR_ACCESS_DENIED;
}

LONG WINAPI DenyCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM access,
                       LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
  g_recorded.creates.push_back(access);
  return ERROR_ACCESS_DENIED;
}

// A key that refuses every right beyond reading, as an administrator's key
// does for a standard user.
LONG WINAPI ReadOnlyOpen(HKEY base, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  g_recorded.opens.push_back(access);
  if ((access & ~KEY_WOW64_64KEY) != KEY_READ) return ERROR_ACCESS_DENIED;
  return ::RegOpenKeyExA(base, path, options, access, key);
}

// Grants creation only without the rights to delete or change security.
LONG WINAPI NoFullAccessCreate(HKEY base, LPCSTR path, DWORD reserved, LPSTR cls, DWORD options,
                               REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                               LPDWORD disposition) {
  g_recorded.creates.push_back(access);
  if ((access & ~KEY_WOW64_64KEY) == KEY_ALL_ACCESS) return ERROR_ACCESS_DENIED;
  return ::RegCreateKeyExA(base, path, reserved, cls, options, access, security, key, disposition);
}

LONG WINAPI CountingOpen(HKEY base, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  g_recorded.opens.push_back(access);
  return ::RegOpenKeyExA(base, path, options, access, key);
}

LONG WINAPI CountingCreate(HKEY base, LPCSTR path, DWORD reserved, LPSTR cls, DWORD options,
                           REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                           LPDWORD disposition) {
  g_recorded.creates.push_back(access);
  return ::RegCreateKeyExA(base, path, reserved, cls, options, access, security, key, disposition);
}

LONG WINAPI RecordingDelete(HKEY base, LPCSTR path) {
  g_recorded.deletions.push_back(path);
  return ::RegDeleteKeyA(base, path);
}

// Refuses to delete "b1"; everything else goes.
LONG WINAPI RefuseB1(HKEY base, LPCSTR path) {
  g_recorded.deletions.push_back(path);
  if (std::string(path) == "b1") return ERROR_ACCESS_DENIED;
  return ::RegDeleteKeyA(base, path);
}

LONG WINAPI ThrowOnDeep(HKEY base, LPCSTR path) {
  if (std::string(path) == "deep") throw std::runtime_error("deletion interrupted");
  return ::RegDeleteKeyA(base, path);
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { g_recorded = Recorded(); }
  std::string Sub(const std::string& relative) const { return scratch_.path() + "\\" + relative; }
  ScratchKey scratch_;
};

using RegistryPaths = Registry;
using RegistryValues = Registry;
using RegistryRoot = Registry;

// --- opening and path bookkeeping -------------------------------------------

TEST_F(RegistryPaths, AbsolutePathWhileAKeyIsOpenResolvesAgainstTheRoot) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Sub("A"), true));
  ASSERT_TRUE(reg.OpenKey("\\" + Sub("B"), true));
  EXPECT_EQ(reg.CurrentPath(), Sub("B"));
  EXPECT_TRUE(KeyExists(Sub("B")));
  reg.WriteString("here", "B");
  EXPECT_EQ(ReadRaw(Sub("B"), "here").status, ERROR_SUCCESS);
  // Nothing was created below A.
  HKEY a = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, Sub("A").c_str(), 0, KEY_READ, &a), ERROR_SUCCESS);
  UniqueHkey aKey(a);
  DWORD subkeys = 99;
  ::RegQueryInfoKeyA(a, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
  EXPECT_EQ(subkeys, 0u);
}

TEST_F(RegistryPaths, RelativePathAppendsToTheCurrentPath) {
  TRegistry reg;
  // With no key open, a relative path starts at the root.
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  EXPECT_EQ(reg.CurrentPath(), scratch_.path());
  ASSERT_TRUE(reg.OpenKey("A\\B", true));
  EXPECT_EQ(reg.CurrentPath(), Sub("A\\B"));
  ASSERT_TRUE(reg.OpenKey("C", true));
  EXPECT_EQ(reg.CurrentPath(), Sub("A\\B\\C"));
  EXPECT_TRUE(KeyExists(Sub("A\\B\\C")));
  reg.WriteInteger("depth", 3);
  EXPECT_EQ(ReadRaw(Sub("A\\B\\C"), "depth").status, ERROR_SUCCESS);
}

TEST_F(RegistryPaths, CreateWithAnEmptyPathOrALoneBackslashReopensTheBaseKey) {
  ScopedSeam<decltype(Seam().RegOpenKeyExA)> open(Seam().RegOpenKeyExA, &CountingOpen);
  ScopedSeam<decltype(Seam().RegCreateKeyExA)> create(Seam().RegCreateKeyExA, &CountingCreate);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  const HKEY before = reg.CurrentKey();
  g_recorded = Recorded();
  ASSERT_TRUE(reg.OpenKey("", true));
  EXPECT_NE(reg.CurrentKey(), nullptr);
  EXPECT_NE(reg.CurrentKey(), before) << "a fresh handle replaces the old one";
  EXPECT_TRUE(g_recorded.creates.empty());
  EXPECT_EQ(g_recorded.opens, (std::vector<REGSAM>{KEY_ALL_ACCESS}));
  // The new handle addresses the same key.
  reg.WriteString("same", "yes");
  EXPECT_EQ(ReadRaw(scratch_.path(), "same").status, ERROR_SUCCESS);

  // A lone backslash: the root key itself, opened again, nothing created.
  g_recorded = Recorded();
  ASSERT_TRUE(reg.OpenKey("\\", true));
  EXPECT_EQ(reg.CurrentPath(), "");
  EXPECT_NE(reg.CurrentKey(), nullptr);
  EXPECT_TRUE(g_recorded.creates.empty());
  EXPECT_EQ(g_recorded.opens.size(), 1u);
  EXPECT_TRUE(reg.OpenKey(scratch_.path(), false)) << "relative to the reopened root";
  EXPECT_TRUE(reg.ValueExists("same"));
}

TEST_F(RegistryPaths, MissingKeyOpensOnlyWithCreateInEitherView) {
  for (bool view64 : {false, true}) {
    SCOPED_TRACE(view64 ? "OpenKey64" : "OpenKey");
    const std::string relative = view64 ? "new64\\deeper" : "new\\deeper";
    auto open = [&](TRegistry& r, bool create) {
      return view64 ? r.OpenKey64(relative, create) : r.OpenKey(relative, create);
    };
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
    const HKEY before = reg.CurrentKey();
    EXPECT_FALSE(open(reg, false));
    EXPECT_FALSE(KeyExists(Sub(relative)));
    // A failed open leaves the open key current.
    EXPECT_EQ(reg.CurrentKey(), before);
    EXPECT_EQ(reg.CurrentPath(), scratch_.path());

    EXPECT_TRUE(open(reg, true));
    EXPECT_TRUE(KeyExists(Sub(relative)));
    EXPECT_EQ(reg.CurrentPath(), Sub(relative));
  }
}

TEST_F(RegistryPaths, AccessFallsBackStepByStepWithTheViewFlag) {
  struct Case {
    bool view64;
    bool create;
    std::string path;
    std::vector<REGSAM> opens;
    std::vector<REGSAM> creates;
  };
  const std::vector<Case> cases = {
      {false, false, "X", {0xF003F, 0x2001F, 0x20019}, {}},
      {false, true, "X", {}, {0xF003F, 0x2001F}},
      {false, true, "", {0xF003F, 0x2001F, 0x20019}, {}},
      {true, false, "X", {0xF013F, 0x2011F, 0x20119}, {}},
      {true, true, "X", {}, {0xF013F, 0x2011F}},
      {true, true, "\\", {0xF013F, 0x2011F, 0x20119}, {}},
  };
  ScopedSeam<decltype(Seam().RegOpenKeyExA)> open(Seam().RegOpenKeyExA, &DenyOpen);
  ScopedSeam<decltype(Seam().RegCreateKeyExA)> create(Seam().RegCreateKeyExA, &DenyCreate);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.view64 ? "OpenKey64" : "OpenKey") + " create=" +
                 (c.create ? "1" : "0") + " path='" + c.path + "'");
    g_recorded = Recorded();
    TRegistry reg;
    EXPECT_FALSE(c.view64 ? reg.OpenKey64(c.path, c.create) : reg.OpenKey(c.path, c.create));
    EXPECT_EQ(g_recorded.opens, c.opens);
    EXPECT_EQ(g_recorded.creates, c.creates);
    EXPECT_EQ(reg.CurrentKey(), nullptr);
  }
}

TEST_F(RegistryPaths, AKeyWithoutFullAccessStillOpensOrIsCreated) {
  {
    ScopedSeam<decltype(Seam().RegOpenKeyExA)> open(Seam().RegOpenKeyExA, &ReadOnlyOpen);
    TRegistry reg;
    EXPECT_TRUE(reg.OpenKey(scratch_.path(), false));
    EXPECT_EQ(g_recorded.opens, (std::vector<REGSAM>{0xF003F, 0x2001F, 0x20019}));
  }
  {
    g_recorded = Recorded();
    ScopedSeam<decltype(Seam().RegCreateKeyExA)> create(Seam().RegCreateKeyExA,
                                                        &NoFullAccessCreate);
    TRegistry reg;
    EXPECT_TRUE(reg.OpenKey64(Sub("made"), true));
    EXPECT_EQ(g_recorded.creates, (std::vector<REGSAM>{0xF013F, 0x2011F}));
    EXPECT_TRUE(KeyExists(Sub("made")));
    reg.WriteString("writable", "yes");  // the fallback still allows writing
  }
}

// --- values ------------------------------------------------------------------

TEST_F(RegistryValues, ValueExistsForEveryTypeAndSizeAndGetDataInfoNamesTheKind) {
  struct Case {
    const char* name;
    DWORD type;
    Bytes data;
    TRegDataType kind;
  };
  const std::vector<Case> cases = {
      {"sz", REG_SZ, {'x', 0}, rdString},
      {"emptySz", REG_SZ, {0}, rdString},
      {"noData", REG_SZ, {}, rdString},
      {"expand", REG_EXPAND_SZ, {'%', 'x', '%', 0}, rdExpandString},
      {"dword", REG_DWORD, {1, 0, 0, 0}, rdInteger},
      {"binary", REG_BINARY, {1, 2, 3}, rdBinary},
      {"multi", REG_MULTI_SZ, {'a', 0, 0}, rdMultiSZ},
      {"qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, rdUnknown},
      {"none", REG_NONE, {}, rdUnknown},
      {"", REG_SZ, {'d', 0}, rdString},  // the key's default value
  };
  for (const Case& c : cases) SetRaw(scratch_.path(), c.name, c.type, c.data);

  TRegistry reg;
  EXPECT_FALSE(reg.ValueExists("sz")) << "no key open";
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(reg.ValueExists(c.name));
    TRegDataInfo info;
    ASSERT_TRUE(reg.GetDataInfo(c.name, info));
    EXPECT_EQ(info.RegData, c.kind);
    EXPECT_EQ(info.DataSize, static_cast<std::int32_t>(c.data.size()));
  }
  EXPECT_FALSE(reg.ValueExists("missing"));
  TRegDataInfo info;
  info.DataSize = 77;
  EXPECT_FALSE(reg.GetDataInfo("missing", info));
  EXPECT_EQ(info.DataSize, 0) << "zeroed before the query";
}

TEST_F(RegistryValues, WritesStoreTheExactTypeSizeAndBytes) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  SetRaw(scratch_.path(), "replaced", REG_DWORD, {9, 0, 0, 0});

  struct StringCase { const char* name; std::string text; Bytes stored; };
  const std::vector<StringCase> strings = {
      {"empty", "", {0}},
      {"abc", "abc", {'a', 'b', 'c', 0}},
      {"ansi", "\xe9t\xe9", {0xe9, 't', 0xe9, 0}},
      {"replaced", "now text", {'n', 'o', 'w', ' ', 't', 'e', 'x', 't', 0}},
  };
  for (const StringCase& c : strings) {
    SCOPED_TRACE(c.name);
    reg.WriteString(c.name, c.text);
    const RawValue v = ReadRaw(scratch_.path(), c.name);
    ASSERT_EQ(v.status, ERROR_SUCCESS);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.data, c.stored);
  }

  struct IntegerCase { const char* name; std::int32_t value; Bytes stored; };
  const std::vector<IntegerCase> integers = {
      {"one", 1, {1, 0, 0, 0}},
      {"minusTwo", -2, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"order", 0x12345678, {0x78, 0x56, 0x34, 0x12}},
  };
  for (const IntegerCase& c : integers) {
    SCOPED_TRACE(c.name);
    reg.WriteInteger(c.name, c.value);
    const RawValue v = ReadRaw(scratch_.path(), c.name);
    ASSERT_EQ(v.status, ERROR_SUCCESS);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v.data, c.stored);
  }
}

TEST_F(RegistryValues, AWriteIntoAReadOnlyKeyRaisesWithTheValueName) {
  ScopedSeam<decltype(Seam().RegOpenKeyExA)> open(Seam().RegOpenKeyExA, &ReadOnlyOpen);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  struct Case { const char* name; bool integer; const char* message; };
  const Case cases[] = {
      {"Name", false, "Failed to set data for 'Name'"},
      {"Name", true, "Failed to set data for 'Name'"},
      // A name is text, never a format.
      {"100%s %d", false, "Failed to set data for '100%s %d'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      if (c.integer)
        reg.WriteInteger(c.name, 1);
      else
        reg.WriteString(c.name, "value");
      ADD_FAILURE() << "the write into a read-only key did not raise";
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(ReadRaw(scratch_.path(), c.name).status, ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(RegistryValues, DeleteValueReportsWhetherAValueWent) {
  SetRaw(scratch_.path(), "gone", REG_SZ, {'x', 0});
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  EXPECT_TRUE(reg.DeleteValue("gone"));
  EXPECT_EQ(ReadRaw(scratch_.path(), "gone").status, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(reg.DeleteValue("gone"));
}

// --- key deletion --------------------------------------------------------------

class RegistryTree : public Registry {
 protected:
  // T: a, b (b1, b2 (deep)), c, with a value in each.
  void MakeTree() {
    for (const char* k : {"T\\a", "T\\b\\b1", "T\\b\\b2\\deep", "T\\c"}) {
      MakeKey(Sub(k));
      SetRaw(Sub(k), "v", REG_SZ, {'v', 0});
    }
    SetRaw(Sub("T"), "top", REG_DWORD, {1, 0, 0, 0});
  }
};

TEST_F(RegistryTree, MissingKeyIsFalseAndChangesNothing) {
  MakeKey(Sub("keep"));
  ScopedSeam<decltype(Seam().RegDeleteKeyA)> del(Seam().RegDeleteKeyA, &RecordingDelete);
  TRegistry reg;
  EXPECT_FALSE(reg.DeleteKey("\\" + Sub("missing")));
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  EXPECT_FALSE(reg.DeleteKey("missing"));
  EXPECT_TRUE(KeyExists(Sub("keep")));
  EXPECT_EQ(g_recorded.deletions.size(), 2u) << "only the final deletions, no walk";
}

TEST_F(RegistryTree, NestedTreeGoesDeepestFirstHighestIndexFirst) {
  MakeTree();
  ScopedSeam<decltype(Seam().RegDeleteKeyA)> del(Seam().RegDeleteKeyA, &RecordingDelete);
  TRegistry reg;
  EXPECT_TRUE(reg.DeleteKey("\\" + Sub("T")));
  EXPECT_EQ(g_recorded.deletions,
            (std::vector<std::string>{"c", "deep", "b2", "b1", "b", "a", Sub("T")}));
  EXPECT_FALSE(KeyExists(Sub("T")));
  EXPECT_TRUE(KeyExists(scratch_.path()));
}

TEST_F(RegistryTree, RelativeDeletionKeepsTheCurrentKeyAndPath) {
  MakeTree();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  const HKEY before = reg.CurrentKey();
  EXPECT_TRUE(reg.DeleteKey("T"));
  EXPECT_FALSE(KeyExists(Sub("T")));
  EXPECT_EQ(reg.CurrentKey(), before);
  EXPECT_EQ(reg.CurrentPath(), scratch_.path());
  // The restored key is still open and still the same key.
  reg.WriteString("after", "x");
  EXPECT_EQ(ReadRaw(scratch_.path(), "after").status, ERROR_SUCCESS);
}

TEST_F(RegistryTree, AFailedSubkeyDeletionIsSkippedAndTheResultIsFalse) {
  MakeTree();
  ScopedSeam<decltype(Seam().RegDeleteKeyA)> del(Seam().RegDeleteKeyA, &RefuseB1);
  TRegistry reg;
  EXPECT_FALSE(reg.DeleteKey("\\" + Sub("T")));
  // Everything but the refused key and the keys above it is gone.
  EXPECT_TRUE(KeyExists(Sub("T\\b\\b1")));
  EXPECT_FALSE(KeyExists(Sub("T\\b\\b2")));
  EXPECT_FALSE(KeyExists(Sub("T\\a")));
  EXPECT_FALSE(KeyExists(Sub("T\\c")));
}

TEST_F(RegistryTree, TheCurrentKeyComesBackWhenTheWalkIsInterrupted) {
  MakeTree();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  const HKEY before = reg.CurrentKey();
  {
    ScopedSeam<decltype(Seam().RegDeleteKeyA)> del(Seam().RegDeleteKeyA, &ThrowOnDeep);
    EXPECT_THROW(reg.DeleteKey("T"), std::runtime_error);
  }
  EXPECT_EQ(reg.CurrentKey(), before);
  EXPECT_EQ(reg.CurrentPath(), scratch_.path());
  reg.WriteString("still", "here");
  EXPECT_EQ(ReadRaw(scratch_.path(), "still").status, ERROR_SUCCESS);
  EXPECT_TRUE(reg.DeleteKey("T")) << "a later deletion finishes the job";
}

TEST_F(RegistryTree, AnEmptyPathNeverEmptiesTheBaseKey) {
  MakeTree();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Sub("T"), false));
  EXPECT_FALSE(reg.DeleteKey(""));
  // With the root set to the tree, a lone "\" names the root itself.
  HKEY tree = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, Sub("T").c_str(), 0, KEY_ALL_ACCESS, &tree),
            ERROR_SUCCESS);
  UniqueHkey treeKey(tree);
  TRegistry rooted;
  rooted.SetRootKey(tree);
  EXPECT_FALSE(rooted.DeleteKey("\\"));
  for (const char* k : {"T\\a", "T\\b\\b1", "T\\b\\b2\\deep", "T\\c"}) EXPECT_TRUE(KeyExists(Sub(k))) << k;
}

// --- root key ------------------------------------------------------------------

TEST_F(RegistryRoot, SameRootKeepsTheKeyOpenAnotherClosesIt) {
  TRegistry reg;
  EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
  EXPECT_TRUE(reg.LazyWrite());
  ASSERT_TRUE(reg.OpenKey(scratch_.path(), false));
  const HKEY open = reg.CurrentKey();
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), open);
  EXPECT_EQ(reg.CurrentPath(), scratch_.path());
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.RootKey(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_EQ(reg.CurrentPath(), "");
  // Paths now start at the new root.
  EXPECT_FALSE(reg.OpenKey(scratch_.path(), false));
  EXPECT_TRUE(reg.OpenKey("\\SOFTWARE", false));
}

class OwningRegistry : public TRegistry {
 public:
  void Own(HKEY root) {
    SetRootKey(root);
    FCloseRootKey = true;
  }
};

bool HandleValid(HKEY key) {
  return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

TEST_F(RegistryRoot, AnOwnedRootIsClosedWhenReplacedOrWhenTheObjectGoes) {
  HKEY first = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, scratch_.path().c_str(), 0, KEY_READ, &first),
            ERROR_SUCCESS);
  {
    OwningRegistry reg;
    reg.Own(first);
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(HandleValid(first));
  }
  HKEY second = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, scratch_.path().c_str(), 0, KEY_READ, &second),
            ERROR_SUCCESS);
  {
    OwningRegistry reg;
    reg.Own(second);
    EXPECT_TRUE(HandleValid(second));
  }
  EXPECT_FALSE(HandleValid(second));
}

}  // namespace
