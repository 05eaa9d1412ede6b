{
	"patcher" : {
		"fileversion" : 1,
		"appversion" : {
			"major" : 8,
			"minor" : 5,
			"revision" : 0,
			"architecture" : "x64",
			"modernui" : 1
		},
		"classnamespace" : "box",
		"rect" : [ 50.0, 80.0, 1280.0, 976.0 ],
		"default_fontsize" : 12.0,
		"default_fontname" : "Arial",
		"gridsize" : [ 15.0, 15.0 ],
		"boxes" : [
			{
				"box" : {
					"id" : "obj-title",
					"maxclass" : "comment",
					"patching_rect" : [ 20.0, 10.0, 700.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "vorlo~ decodes an audio file with FFmpeg into a buffer~, on a thread of its own"
				}
			},
			{
				"box" : {
					"id" : "obj-make",
					"maxclass" : "comment",
					"patching_rect" : [ 20.0, 36.0, 700.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "Make the example files with the commands of the README (/tmp/tones.flac, /tmp/clip.mkv), or put your own path in a message."
				}
			},
			{
				"box" : {
					"id" : "obj-msg1",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 70.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "replace /tmp/tones.flac"
				}
			},
			{
				"box" : {
					"id" : "obj-note1",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 70.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "the whole file; the buffer~ takes its length, channels and rate"
				}
			},
			{
				"box" : {
					"id" : "obj-msg2",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 100.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "replace /tmp/tones.flac 0 sec 0 sec s_mono"
				}
			},
			{
				"box" : {
					"id" : "obj-note2",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 100.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "the whole file mixed down to one channel"
				}
			},
			{
				"box" : {
					"id" : "obj-msg3",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 130.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "importreplace /tmp/tones.flac 1 sec 500 ms"
				}
			},
			{
				"box" : {
					"id" : "obj-note3",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 130.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "500 ms from 1 s on; the buffer~ is sized to the section"
				}
			},
			{
				"box" : {
					"id" : "obj-msg4",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 160.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "import /tmp/tones.flac 0 sec 50 bufpct 1 sec"
				}
			},
			{
				"box" : {
					"id" : "obj-note4",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 160.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "into the buffer~ as it is: half its length, from 1 s on (see the Import attributes)"
				}
			},
			{
				"box" : {
					"id" : "obj-msg5",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 190.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "info /tmp/tones.flac"
				}
			},
			{
				"box" : {
					"id" : "obj-note5",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 190.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "only the file-properties list (and the metadata into the dict that metadatadict names)"
				}
			},
			{
				"box" : {
					"id" : "obj-msg6",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 220.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "importreplace buffer=src 0 sec 100 ms"
				}
			},
			{
				"box" : {
					"id" : "obj-note6",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 220.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "from another buffer~: the first 100 ms of src"
				}
			},
			{
				"box" : {
					"id" : "obj-msg7",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 250.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "replace dict=f"
				}
			},
			{
				"box" : {
					"id" : "obj-note7",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 250.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "the file that dict f names (filepath and filename)"
				}
			},
			{
				"box" : {
					"id" : "obj-msg8",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 280.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "replace /tmp/clip.mkv"
				}
			},
			{
				"box" : {
					"id" : "obj-note8",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 280.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "with stream_nb 2: the second audio stream (streams count from 0, video too)"
				}
			},
			{
				"box" : {
					"id" : "obj-msg9",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 310.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "set snd"
				}
			},
			{
				"box" : {
					"id" : "obj-note9",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 310.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "the buffer~ to load into"
				}
			},
			{
				"box" : {
					"id" : "obj-msg10",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 340.0, 300.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "break"
				}
			},
			{
				"box" : {
					"id" : "obj-note10",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 340.0, 420.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "stops a load"
				}
			},
			{
				"box" : {
					"id" : "obj-dictset",
					"maxclass" : "message",
					"patching_rect" : [ 760.0, 70.0, 250.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "clear, set filepath /tmp/, set filename tones.flac"
				}
			},
			{
				"box" : {
					"id" : "obj-dictf",
					"maxclass" : "newobj",
					"patching_rect" : [ 760.0, 100.0, 60.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 4,
					"outlettype" : [ "dictionary", "", "", "" ],
					"text" : "dict f"
				}
			},
			{
				"box" : {
					"id" : "obj-dictnote",
					"maxclass" : "comment",
					"patching_rect" : [ 830.0, 100.0, 200.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "the source of replace dict=f"
				}
			},
			{
				"box" : {
					"id" : "obj-attrtitle",
					"maxclass" : "comment",
					"patching_rect" : [ 760.0, 150.0, 300.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "Attributes (Import: for import only)"
				}
			},
			{
				"box" : {
					"id" : "obj-attr-resample",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 176.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "resample",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-stream_nb",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 204.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "stream_nb",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-metadatadict",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 232.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "metadatadict",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-debug",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 260.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "debug",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-import_mix",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 288.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "import_mix",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-import_gain",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 316.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "import_gain",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-fadein",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 344.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "fadein",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-fadein_exp",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 372.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "fadein_exp",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-fadeout",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 400.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "fadeout",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-attr-fadeout_exp",
					"maxclass" : "attrui",
					"patching_rect" : [ 760.0, 428.0, 250.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"attr" : "fadeout_exp",
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-resamplenote",
					"maxclass" : "comment",
					"patching_rect" : [ 1020.0, 176.0, 230.0, 50.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "resample is an index into the rate table: 7 = 48000 Hz, 0 = the file's own rate"
				}
			},
			{
				"box" : {
					"id" : "obj-vorlo",
					"maxclass" : "newobj",
					"patching_rect" : [ 20.0, 476.0, 300.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 4,
					"outlettype" : [ "list", "bang", "bang", "bang" ],
					"text" : "vorlo~ snd @metadatadict meta"
				}
			},
			{
				"box" : {
					"id" : "obj-dblclick",
					"maxclass" : "comment",
					"patching_rect" : [ 330.0, 476.0, 330.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "double-click: opens the buffer~'s view"
				}
			},
			{
				"box" : {
					"id" : "obj-props",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 526.0, 560.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : ""
				}
			},
			{
				"box" : {
					"id" : "obj-propsnote",
					"maxclass" : "comment",
					"patching_rect" : [ 20.0, 552.0, 700.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "file properties: rate (Hz), channels, length (ms), start (ms), channel layout, codec, source"
				}
			},
			{
				"box" : {
					"id" : "obj-done",
					"maxclass" : "button",
					"patching_rect" : [ 90.0, 586.0, 24.0, 24.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "bang" ],
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-donenote",
					"maxclass" : "comment",
					"patching_rect" : [ 70.0, 614.0, 100.0, 50.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "done: the file is in the buffer~"
				}
			},
			{
				"box" : {
					"id" : "obj-error",
					"maxclass" : "button",
					"patching_rect" : [ 190.0, 586.0, 24.0, 24.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "bang" ],
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-errornote",
					"maxclass" : "comment",
					"patching_rect" : [ 170.0, 614.0, 100.0, 50.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "error: see the Max console"
				}
			},
			{
				"box" : {
					"id" : "obj-spare",
					"maxclass" : "button",
					"patching_rect" : [ 290.0, 586.0, 24.0, 24.0 ],
					"numinlets" : 1,
					"numoutlets" : 1,
					"outlettype" : [ "bang" ],
					"parameter_enable" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-sparenote",
					"maxclass" : "comment",
					"patching_rect" : [ 270.0, 614.0, 100.0, 50.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "spare outlet, never fires"
				}
			},
			{
				"box" : {
					"id" : "obj-buffer",
					"maxclass" : "newobj",
					"patching_rect" : [ 20.0, 676.0, 120.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 2,
					"outlettype" : [ "float", "bang" ],
					"text" : "buffer~ snd"
				}
			},
			{
				"box" : {
					"id" : "obj-src",
					"maxclass" : "newobj",
					"patching_rect" : [ 160.0, 676.0, 140.0, 22.0 ],
					"numinlets" : 1,
					"numoutlets" : 2,
					"outlettype" : [ "float", "bang" ],
					"text" : "buffer~ src 1000 2"
				}
			},
			{
				"box" : {
					"id" : "obj-buffernote",
					"maxclass" : "comment",
					"patching_rect" : [ 320.0, 676.0, 400.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "snd receives the loads; src is the source of buffer=src"
				}
			},
			{
				"box" : {
					"id" : "obj-dictbang",
					"maxclass" : "message",
					"patching_rect" : [ 20.0, 726.0, 40.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 1,
					"outlettype" : [ "" ],
					"text" : "bang"
				}
			},
			{
				"box" : {
					"id" : "obj-meta",
					"maxclass" : "newobj",
					"patching_rect" : [ 20.0, 756.0, 80.0, 22.0 ],
					"numinlets" : 2,
					"numoutlets" : 4,
					"outlettype" : [ "dictionary", "", "", "" ],
					"text" : "dict meta"
				}
			},
			{
				"box" : {
					"id" : "obj-metaview",
					"maxclass" : "dict.view",
					"patching_rect" : [ 20.0, 786.0, 400.0, 150.0 ],
					"numinlets" : 1,
					"numoutlets" : 0
				}
			},
			{
				"box" : {
					"id" : "obj-metanote",
					"maxclass" : "comment",
					"patching_rect" : [ 110.0, 756.0, 400.0, 20.0 ],
					"numinlets" : 1,
					"numoutlets" : 0,
					"text" : "after info or a load: bang to show the metadata that vorlo~ wrote into meta"
				}
			}
		],
		"lines" : [
			{
				"patchline" : {
					"source" : [ "obj-msg1", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg2", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg3", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg4", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg5", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg6", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg7", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg8", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg9", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-msg10", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-dictset", 0 ],
					"destination" : [ "obj-dictf", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-resample", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-stream_nb", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-metadatadict", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-debug", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-import_mix", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-import_gain", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-fadein", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-fadein_exp", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-fadeout", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-attr-fadeout_exp", 0 ],
					"destination" : [ "obj-vorlo", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-vorlo", 0 ],
					"destination" : [ "obj-props", 1 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-vorlo", 1 ],
					"destination" : [ "obj-done", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-vorlo", 2 ],
					"destination" : [ "obj-error", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-vorlo", 3 ],
					"destination" : [ "obj-spare", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-dictbang", 0 ],
					"destination" : [ "obj-meta", 0 ]
				}
			},
			{
				"patchline" : {
					"source" : [ "obj-meta", 0 ],
					"destination" : [ "obj-metaview", 0 ]
				}
			}
		],
		"dependency_cache" : [ ],
		"autosave" : 0
	}
}
