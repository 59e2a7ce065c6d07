-- ardour7-lua script of tools/ardour/presets-in-ardour: puts Brakkle on a track
-- of a fresh session and asks Ardour for each preset named in a file, one name
-- a line. Prints one line a preset, flushed at once so that the caller sees how
-- far Ardour got:
--   presets: listed NAME          Ardour lists it in the plug-in's preset menu
--   presets: not listed NAME
--   presets: loading NAME         (task=load) handed to Ardour's load_preset
--   presets: loaded NAME          load_preset returned and names it the last one
--   presets: refused NAME         load_preset returned false
-- and "presets: done" at the end.
--
--   ardour7-lua presets-in-ardour.lua format=vst3|lv2 task=list|load names=FILE dir=FOLDER

io.stdout:setvbuf ("no")

local S = dofile ((debug.getinfo (1, "S").source:match ("^@(.*/)") or "./") .. "session.lua")
S.prefix = "presets"

local opt = S.options (arg)
local kind = ({ vst3 = "VST3", lv2 = "LV2" })[opt.format or ""]
if not kind then S.fail ("format= must be vst3 or lv2") end
if opt.task ~= "list" and opt.task ~= "load" then S.fail ("task= must be list or load") end
if not opt.dir or not opt.names then S.fail ("dir= and names= are needed") end

local names = {}
local f = io.open (opt.names, "r")
if not f then S.fail ("cannot read " .. opt.names) end
for line in f:lines () do
	if line ~= "" then names[#names + 1] = line end
end
f:close ()

S.start_engine (44100, 1024)
S.new_session (opt.dir, "presets", 44100, 120)
local track = S.new_track ("presets", 1)
local plugin = S.add_plugin (track, "Brakkle", kind, 0):to_insert ():plugin (0)

for _, name in ipairs (names) do
	local record = plugin:preset_by_label (name)
	if not record then
		print ("presets: not listed " .. name)
	elseif opt.task == "list" then
		print ("presets: listed " .. name)
	else
		print ("presets: loading " .. name)
		local last = plugin:load_preset (record) and plugin:last_preset ()
		print ((last and last.label == name and "presets: loaded " or "presets: refused ") .. name)
	end
end

print ("presets: done")
close_session ()
